// The first start of a user who has no LDraw library yet: the model named on the command
// line cannot load, so the program offers the LDraw directory dialog instead of ending.
#include "firststart.h"

#include "app.h"
#include "document.h"
#include "files.h"
#include "format.h"
#include "messagebox.h"

bool QzLibraryKnown(const std::string& ldrawDir) {
    return !ldrawDir.empty() || plat::GetEnv("LDRAWDIR").has_value();
}

bool QzIsLibraryFolder(const std::string& folder) {
    return !folder.empty() && plat::IsDirectory(folder + "/parts") &&
           plat::IsDirectory(folder + "/p");
}

bool CQzApp::OfferLibraryFolder(const std::string& model) {
    const std::string& folder = document_->Core().settings.ldrawDir;
    while (OnSetLDrawDir()) {
        if (QzIsLibraryFolder(folder)) return OpenDocumentFile(model);
        plat::ShowMessage(plat::Format("There is no LDraw library in\n%s\nSelect the folder that "
                                       "holds the folders P and PARTS.",
                                       folder.c_str()),
                          plat::MessageKind::Exclamation);
    }
    return false;
}
