// Building steps of a model. The main model (entry 0: the model file, or the first
// section of a multi-part file) is written as steps: a "0 STEP" or "0 ROTSTEP ..."
// line ends one. Step k holds every line of the main model up to and including its
// k-th step line; drawable lines after the last step line form one more step; a
// model without step lines is one step. Submodels are not split by their own step
// lines: a submodel referenced in a step is drawn whole.
//
//   const int count = QzStepCount(model.Main());       // at least 1
//   const QzLine* last = QzStepLastLine(model.Main(), 3);
//   // draw the main model's lines up to and including `last` (all of them for null)
#pragma once

#include <vector>

#include "model.h"

// Whether a stored line is a step line: a comment whose first word is STEP or ROTSTEP.
// A ROTSTEP ends a step like STEP; its rotation is not applied.
bool QzIsStepLine(const QzLine& line);

// The lines that end the steps of a main model, in order: each step line, then, when
// drawable lines (types 1 to 5) follow the last step line, the part's last line for
// the trailing step. Empty when the model has no step lines (it is one step).
std::vector<const QzLine*> QzStepEnds(const QzPart& main);

// The number of steps, at least 1.
int QzStepCount(const QzPart& main);

// The last line of the main model that step `step` draws; null when the step draws
// every line (step 0 or the last step and beyond).
const QzLine* QzStepLastLine(const QzPart& main, int step);
