#include "model.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "diagnostics.h"

// ---- Program-wide state of the in-memory model ----
QzPart QzParts[QZ_MAX_PARTS];
int QzPartCount = 0;
bool QzTableFullShown = false;

QzLight* QzLights = nullptr;
int QzLightCount = 0;
int QzLightCapacity = 0;

const char* const QzStudNames[19] = {
    "stud5.dat",  "stu2.dat",   "stu22.dat",    "stu22a.dat",  "stu23.dat",
    "stu23a.dat", "stu24.dat",  "stu24a.dat",   "stud2.dat",   "stud2a.dat",
    "stud3a.dat", "stud4a.dat", "studline.dat", "stu2p01.dat", "studp01.dat",
    "studel.dat", "stud.dat",   "stud3.dat",    "stud4.dat",
};

namespace {

// Releases one list of lines. Transform blocks referenced by type-1 lines are not
// freed here but handed back in `blocks`, so that deeply nested blocks are released
// by a loop instead of a recursion as deep as the nesting.
void ReleaseLineList(QzLine* line, std::vector<QzPart*>& blocks) {
    while (line) {
        QzLine* next = line->next;
        if (QzLineTextIsHeap(*line)) delete[] line->text;
        if (line->type == 1 && line->part && (line->part->flags & PF_INTERNAL)) {
            blocks.push_back(line->part);
        }
        delete line;
        line = next;
    }
}

// Name and vertices of a record; its lines are the caller's business.
void ReleaseRecordStorage(QzPart* part) {
    std::string().swap(part->name);
    QzFreeVertices(*part);
}

}  // namespace

QzPart* QzFindPart(bool internal, const std::string& name) {
    if (name.size() > size_t(QZ_MAX_NAME)) {
        QzError(QzCompose("Name too long '%s'.", name.c_str()));
        return nullptr;
    }

    QzPart* part = nullptr;
    if (internal) {
        part = new (std::nothrow) QzPart{};
        if (!part) {
            QzError("Out of memory for new internal part");
            return nullptr;
        }
    } else {
        for (int i = 0; i < QzPartCount; ++i) {
            if (QzParts[i].name == name) return &QzParts[i];
        }
        if (QzPartCount >= QZ_MAX_PARTS) {
            if (!QzTableFullShown) QzError(QzCompose("Sorry, max %d parts.", QZ_MAX_PARTS));
            QzTableFullShown = true;
            QzWarn(0, QZ_SKIPPING, "Sorry, max %d parts: %s left out", QZ_MAX_PARTS, name.c_str());
            return nullptr;
        }
        part = &QzParts[QzPartCount++];
    }

    *part = QzPart{};
    part->flags = internal ? PF_INTERNAL : 0;
    try {
        part->name = name;
    } catch (const std::bad_alloc&) {
        // Give the record back: no entry stays counted without a name.
        if (internal) {
            delete part;
        } else {
            --QzPartCount;
        }
        QzError("Out of memory for new part name");
        return nullptr;
    }

    for (int i = 18; i >= 0; --i) {
        if (part->name == QzStudNames[i]) {
            part->flags |= PF_STUD;
            break;
        }
    }
    return part;
}

void QzFreeLines(QzPart* part) {
    if (!part) return;
    QzLine* head = part->lines;
    part->lines = nullptr;
    std::vector<QzPart*> blocks;
    ReleaseLineList(head, blocks);
    while (!blocks.empty()) {
        QzPart* block = blocks.back();
        blocks.pop_back();
        QzLine* blockLines = block->lines;
        block->lines = nullptr;
        ReleaseLineList(blockLines, blocks);
        ReleaseRecordStorage(block);
        delete block;
    }
}

void QzFreePart(QzPart* part) {
    if (!part) return;
    std::string().swap(part->name);
    QzFreeLines(part);
    QzFreeVertices(*part);
    if (part->flags & PF_INTERNAL) {
        delete part;
    } else {
        *part = QzPart{};
    }
}

void QzFreeAllParts() {
    for (int i = 0; i < QzPartCount; ++i) QzFreePart(&QzParts[i]);
    QzPartCount = 0;
}

QzLight* QzNewLight() {
    if (QzLightCount >= QzLightCapacity) {
        const int capacity = QzLightCapacity + 10;
        void* grown = std::realloc(QzLights, sizeof(QzLight) * size_t(capacity));
        if (!grown) {
            QzError("Out of memory for more lights");
            return nullptr;
        }
        QzLights = static_cast<QzLight*>(grown);
        QzLightCapacity = capacity;
    }
    return &QzLights[QzLightCount++];
}

void QzFreeLights() {
    // Released whenever an array exists, also one whose count is zero.
    std::free(QzLights);
    QzLights = nullptr;
    QzLightCount = 0;
    QzLightCapacity = 0;
}

void QzNormaliseName(std::string& name) {
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    for (char& c : name) {
        if (c == '/') c = '\\';
    }
}

bool QzSetLineText(QzLine& line, const char* text, size_t length) {
    char* inlineArea = reinterpret_cast<char*>(line.p);
    char* target = inlineArea;
    if (length > size_t(QZ_INLINE_TEXT)) {
        target = new (std::nothrow) char[length + 1];
        if (!target) return false;
    }
    // The old text goes only after the copy, in case it is the source.
    char* old = QzLineTextIsHeap(line) ? line.text : nullptr;
    std::memmove(target, text, length);
    target[length] = '\0';
    line.text = target;
    delete[] old;
    return true;
}

bool QzLineTextIsHeap(const QzLine& line) {
    return line.text != nullptr && line.text != reinterpret_cast<const char*>(line.p);
}

QzLine* QzNewLine(const QzLine& copy) {
    QzLine* line = new (std::nothrow) QzLine(copy);
    if (!line) return nullptr;
    // An inline text must point into the new line's own area; a heap text changes
    // owner.
    if (copy.text == reinterpret_cast<const char*>(copy.p))
        line->text = reinterpret_cast<char*>(line->p);
    return line;
}

bool QzAllocVertices(QzPart& part, int32_t count) {
    QzFreeVertices(part);
    if (count <= 0) return true;
    part.vertices = new (std::nothrow) QzVector[size_t(count)];
    if (!part.vertices) return false;
    part.vertexCount = count;
    return true;
}

void QzFreeVertices(QzPart& part) {
    delete[] part.vertices;
    part.vertices = nullptr;
    part.vertexCount = 0;
}

void QzResetModelState() {
    QzFreeAllParts();
    QzFreeLights();
    for (auto& part : QzParts) part = QzPart{};
    QzPartCount = 0;
    QzTableFullShown = false;
}
