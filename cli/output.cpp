#include "output.h"

#include <ostream>

#include "fileidentity.h"
#include "files.h"
#include "usage.h"

namespace cli {

bool CheckOutputPath(const std::string& output, const std::string& model, std::ostream& err) {
    if (output.empty()) {
        err << UsageError("the output file name is empty");
        return false;
    }
    // The reader finds the model in any letter case; the output is written as named.
    const std::string input = plat::ResolvePath(model).value_or(model);
    if (plat::SameFile(input, output)) {
        err << UsageError("the output " + output + " is the model file " + model +
                          ": it would be replaced");
        return false;
    }
    return true;
}

}  // namespace cli
