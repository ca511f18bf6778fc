// The sections of a model file ("0 FILE name" in a multi-part file) and the order in
// which a model is built from them. The file's first section is the main model; every
// later one is a submodel, or a part the modeller defined in the file because the
// library lacks it (QzIsSectionPart). Names are matched as references match sections:
// letter case ignored, "/" and "\" alike.
//
// Building instructions take sub-assemblies first: every submodel placed is built, all
// its steps, before the first step that places it, once however often it is placed; the
// main model's steps come last. The order is worked out by the one walk (walk.h).
//
//   for (const QzModelSection* s : QzSubmodels(model)) ... s->name ...
//   const QzPart* wheel = QzFindSubmodel(model, "Wheel.ldr");   // null: no such submodel
//   for (const QzBuildStep& step : QzBuildOrder(model.Main())) ... step.references ...
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "model.h"

// Whether a section holds a part rather than a submodel: its header (the comments before
// its first line of another type) says "0 !LDRAW_ORG Part" or "Unofficial_Part" (or a
// shortcut, which is sold as one part), or, when the header names no type of file, its
// name ends in ".dat". A header that says Model (or Unofficial_Model) keeps a ".dat"
// section a submodel. The reader marks the sections of the main model's file that are
// parts with PF_SECTION_PART.
bool QzIsSectionPart(const QzPart& section);

// Whether a file is a submodel: a section of the main model's file that is not a part.
// Building instructions build submodels in steps of their own; any other file placed
// (another model file the model references included) is taken whole, as a part.
bool QzIsSubmodel(const QzPart& file);

// The submodels of the loaded model: its file's sections after the first that are not
// parts, in file order.
std::vector<const QzModelSection*> QzSubmodels(const QzModel& model);

// The main model (the first section's name) or the submodel of that name; null when the
// model file has neither (a section that is a part is no submodel).
const QzPart* QzFindSubmodel(const QzModel& model, std::string_view name);
QzPart* QzFindSubmodel(QzModel& model, std::string_view name);

// The name a model file or section goes by: a section's as its FILE line writes it, the
// main model's first section's name (or, without sections, the model file's name
// without its folder), the stored name of any other file.
std::string QzFileName(const QzModel& model, const QzPart& file);

// The file name of a reference as the model file writes it (as stored where the file is
// not the model's own).
const std::string& QzWrittenName(const QzModel& model, const QzLine& reference);

// The title and author of a model file as the reader takes them for the main model: its
// first plain comment (not a BFC statement, not a transform block's line) and the text
// after its first "Author:".
struct QzFileTitle {
    std::string title;
    std::string author;
};
QzFileTitle QzTitleOf(const QzPart& file);

// How many times the whole model places each submodel (one placed by a submodel placed
// twice counts twice). The count stops at the
// walk's bound on placements; `complete` says whether it was reached.
struct QzPlacements {
    std::unordered_map<const QzPart*, uint64_t> count;
    bool complete = true;
};
QzPlacements QzCountPlacements(const QzPart& main);

// One step of building instructions: step `step` of `count` of the main model or a
// submodel, and the references (type-1 lines, those inside its transform blocks
// included) that the step adds to the file, in the file's order.
struct QzBuildStep {
    const QzPart* file = nullptr;
    int step = 1;
    int count = 1;
    std::vector<const QzLine*> references;
};
// The steps of the model in building order: sub-assemblies first (see above). Empty when
// memory ran out for the walk form of the parts.
std::vector<QzBuildStep> QzBuildOrder(const QzPart& main);
