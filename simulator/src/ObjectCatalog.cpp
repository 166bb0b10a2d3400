#include "simulator/ObjectCatalog.h"

#include "CommandText.h"

#include <fstream>
#include <sstream>

namespace sim {

namespace {

// Which numbering an object's index counts in: CSC, the shared spike
// numbering, VT, or none (events).
int NumberingOf(protocol::RecordType type) {
    switch (type) {
        case protocol::RecordType::SE:
        case protocol::RecordType::ST:
        case protocol::RecordType::TT:
            return 0;
        case protocol::RecordType::CSC:
            return 1;
        case protocol::RecordType::VT:
            return 2;
        case protocol::RecordType::EV:
            break;
    }
    return -1;
}

std::string ListReply(const std::vector<CatalogObject>& objects, bool names) {
    std::string reply = "0";
    for (const CatalogObject& object : objects) {
        reply += ' ';
        reply += names ? QuoteIfBlank(object.name) : std::string(object.type->typeName);
    }
    return reply;
}

}  // namespace

ObjectCatalog ObjectCatalog::Default() {
    ObjectCatalog catalog;
    catalog.Add("SE1", "SEScAcqEnt");
    catalog.Add("SE2", "SEScAcqEnt");
    catalog.Add("ST1", "STScAcqEnt");
    for (int i = 1; i <= 4; ++i) {
        catalog.Add("TT" + std::to_string(i), "TTScAcqEnt");
    }
    for (int i = 1; i <= 16; ++i) {
        catalog.Add("CSC" + std::to_string(i), "CscAcqEnt");
    }
    catalog.Add("Events", "EventAcqEnt");
    catalog.Add("VT1", "VTAcqEnt");
    return catalog;
}

bool ObjectCatalog::Add(const std::string& name, std::string_view typeName) {
    const protocol::RecordTypeInfo* type = protocol::FindByTypeName(typeName);
    if (type == nullptr || name.empty() || Find(name) >= 0 ||
        name.find_first_of(std::string_view("\0\"", 2)) != std::string::npos) {
        return false;
    }
    int numbering = NumberingOf(type->type);
    uint32_t index = 0;
    for (const CatalogObject& object : mObjects) {
        if (numbering >= 0 && NumberingOf(object.type->type) == numbering) {
            ++index;
        }
    }
    // The video index field is 16 bits wide.
    if (type->type == protocol::RecordType::VT && index > 0xFFFF) {
        return false;
    }
    mObjects.push_back({name, type, index});
    return true;
}

bool ObjectCatalog::Parse(std::string_view text, ObjectCatalog& out, std::string& error) {
    ObjectCatalog catalog;
    std::istringstream lines{std::string(text)};
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        std::vector<std::string> words = SplitWords(line.substr(0, line.find('#')));
        if (words.empty()) {
            continue;
        }
        if (words.size() != 2) {
            error = "line " + std::to_string(number) + ": expected \"name type\"";
            return false;
        }
        if (!catalog.Add(words[0], words[1])) {
            error = "line " + std::to_string(number) + ": bad or repeated name, or unknown type \"" +
                    words[1] + "\"";
            return false;
        }
    }
    if (catalog.Size() == 0) {
        error = "the object list is empty";
        return false;
    }
    out = std::move(catalog);
    return true;
}

bool ObjectCatalog::LoadFile(const std::string& path, ObjectCatalog& out, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read " + path;
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (!Parse(text.str(), out, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

int ObjectCatalog::Find(std::string_view name) const {
    for (size_t i = 0; i < mObjects.size(); ++i) {
        if (mObjects[i].name == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string ObjectCatalog::NamesReply() const { return ListReply(mObjects, true); }

std::string ObjectCatalog::TypesReply() const { return ListReply(mObjects, false); }

}  // namespace sim
