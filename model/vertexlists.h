// What the drawing commands prepare in the loaded model: the distinct-vertex list of
// every part ("Vertex lists") and the random colour of every line of the main model
// ("Random Colors").
#pragma once

#include "model.h"

// Builds the distinct-vertex list of every part in the table, then tells how long it
// took and how large the lists are.
void BuildVertexLists(QzModel& model);
// Builds the list of one part; false when it has none afterwards (too many vertices,
// no memory, or no points at all). maxPoints and maxVertices are raised to this part's
// figures.
bool QzBuildPartVertexList(QzPart* part, int& maxPoints, int& maxVertices);
// Gives every line of the main model a new random colour 0 to 15, from a generator
// seeded with the clock.
void QzAssignRandomColours(QzModel& model);
