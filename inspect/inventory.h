// The parts list of a model: one row per part and colour with the quantity the whole
// model uses. Submodels (sections of a multi-part file, other model files, anything not
// found in the library's parts folder) are walked into, their parts multiplied by the
// number of times they are referenced; a file of the library's parts folder (not of
// parts/s, not a primitive) is a part and is not walked into, and so is a section of the
// model file that holds a part (PF_SECTION_PART), named as its FILE line writes it. A file is
// classed by the folder it was found in, however the reference reaches it ("s\..\3001.dat" is the
// part 3001.dat). Colour 16 takes the colour of the reference that brought it in, the
// main model's being 7 as drawn.
//
//   std::vector<inspect::PartsRow> rows = inspect::ListParts(model, ldrawDir);
//   std::cout << inspect::PartsCsv(rows);
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "model.h"

namespace inspect {

struct PartsRow {
    // The part's file name as the library stores it; for a reference that did not
    // resolve, its name as referenced.
    std::string part;
    // The colour number as the file writes it (never the reader's stand-in for a
    // number its colour scheme does not know).
    int32_t colour = 0;
    std::string colourName;
    uint64_t quantity = 0;
    // The part's first line's comment text; kMissingText for a missing reference.
    std::string description;
    bool missing = false;
    // The file counted (the first, when references to two files name one part), for
    // drawing it; rows compare without it.
    const QzPart* file = nullptr;
    bool operator==(const PartsRow& other) const {
        return part == other.part && colour == other.colour && colourName == other.colourName &&
               quantity == other.quantity && description == other.description &&
               missing == other.missing;
    }
};

// The description of a reference that did not resolve.
inline constexpr const char* kMissingText = "(missing)";

// Colour names by number: those LDConfig.ldr in the library folder defines (its last
// definition of a number winning); empty when the file cannot be read.
std::map<int32_t, std::string> ReadColourNames(const std::string& ldrawDir);

// The rows of a loaded model, sorted by part name (bytes), then colour number. Names of
// colours come from `names` (ReadColourNames), else from the table of the colour
// schemes; a part is named by its path below the parts folder, as stored. Quantities stop
// growing at the largest number they hold.
std::vector<PartsRow> ListParts(const QzModel& model, const std::string& ldrawDir,
                                const std::map<int32_t, std::string>& names);
// The rows of one file of the model (a submodel) as if it were the main model.
std::vector<PartsRow> ListParts(const QzModel& model, const QzPart& top,
                                const std::string& ldrawDir,
                                const std::map<int32_t, std::string>& names);
// The same with the names of LDConfig.ldr in the library folder.
std::vector<PartsRow> ListParts(const QzModel& model, const std::string& ldrawDir);

// The sum of the quantities, and whether any reference is missing.
uint64_t TotalQuantity(const std::vector<PartsRow>& rows);
bool AnyMissing(const std::vector<PartsRow>& rows);
// "1234 parts", with ", 2 missing" when references are missing.
std::string TotalText(const std::vector<PartsRow>& rows);
// Whether the list lacks parts because the part table was full during the load: the
// line that says so and names the files left out (the first ten, and how many more);
// empty when the list is complete.
std::string IncompleteText(const QzModel& model);

// The name of a colour number: the one `names` gives (ReadColourNames), else the table's
// of the colour schemes, else empty.
std::string ColourNameOf(int32_t colour, const std::map<int32_t, std::string>& names);

// Text as a terminal or a spreadsheet may show it: a tab becomes a blank and every other
// control character (C0, DEL, and C1 whether written in UTF-8 or as a lone byte) a "?".
std::string PrintableText(std::string_view text);

// A colour number as the lists write it: decimal, direct colours (0x2000000 and up)
// as 0x and seven hexadecimal digits.
std::string ColourText(int32_t colour);

// The three forms of the list. Text: aligned columns under a header, then the total
// and, for a list that is not complete, the IncompleteText line. CSV (RFC 4180): the
// header line part,colour,colour_name,quantity,description, one record per row, lines
// ending in CR LF, fields quoted when they hold a comma or a quote; a field that a
// spreadsheet would take for a formula (starting with "=", "+", "-" or "@") quoted
// with an apostrophe in front. Text and CSV show a tab as a blank and other control
// characters as "?". JSON: an array of objects with those keys (colour and quantity as
// numbers), UTF-8, control characters escaped; bytes that are not UTF-8 are taken as
// Latin-1.
std::string PartsText(const std::vector<PartsRow>& rows, const std::string& incomplete = {});
std::string PartsCsv(const std::vector<PartsRow>& rows);
std::string PartsJson(const std::vector<PartsRow>& rows);

}  // namespace inspect
