#pragma once
// The simulator's acquisition objects: names, type names and the index each
// object's records carry, in the order the object lists publish them.

#include "protocol/RecordTypes.h"

#include <string>
#include <string_view>
#include <vector>

namespace sim {

struct CatalogObject {
    std::string name;
    const protocol::RecordTypeInfo* type = nullptr;
    // Position among the objects that share this type's numbering: CSC
    // objects, all spike objects together, or VT objects (0 for events).
    uint32_t index = 0;
};

class ObjectCatalog {
public:
    ObjectCatalog() = default;

    // SE1 SE2, ST1, TT1-TT4, CSC1-CSC16, Events, VT1.
    static ObjectCatalog Default();

    // Object-list text: one object per line, "name type"; the name may be
    // double-quoted to hold blanks; '#' starts a comment; blank lines are
    // skipped. False with a reason (naming the line) on any bad line,
    // a repeated name, an unknown type or an empty list.
    static bool Parse(std::string_view text, ObjectCatalog& out, std::string& error);
    static bool LoadFile(const std::string& path, ObjectCatalog& out, std::string& error);

    // Appends an object and numbers it. False for an unknown type name,
    // an empty or repeated name, or a name holding a NUL or double quote.
    bool Add(const std::string& name, std::string_view typeName);

    const std::vector<CatalogObject>& Objects() const { return mObjects; }
    size_t Size() const { return mObjects.size(); }
    // Position in the list, or -1.
    int Find(std::string_view name) const;

    // Reply bodies of the two list commands: "0" then each name (quoted when
    // it holds a blank), blank-separated, in list order.
    std::string NamesReply() const;
    std::string TypesReply() const;

private:
    std::vector<CatalogObject> mObjects;
};

}  // namespace sim
