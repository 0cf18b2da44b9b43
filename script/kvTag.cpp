// Tag tree node. A tag owns its children and deletes them in order.
#include "script/kvTag.h"

namespace Korvell {

kvTag::kvTag(std::string name_, kvTag* parent_) : name(std::move(name_)), parent(parent_)
{
    if (parent) parent->children.push_back(this);
}

kvTag::~kvTag()
{
    // Without recursion, so that a hostile script nested a million deep
    // cannot overflow the stack; subtrees still go in document order.
    std::vector<kvTag*> pending(children.rbegin(), children.rend());
    children.clear();
    while (!pending.empty()) {
        kvTag* tag = pending.back();
        pending.pop_back();
        pending.insert(pending.end(), tag->children.rbegin(), tag->children.rend());
        tag->children.clear();
        delete tag;
    }
}

void kvTag::setAttribute(std::string key, std::string value)
{
    attributes[std::move(key)] = std::move(value);
}

bool kvTag::getAttribute(std::string key, std::string& value) const
{
    attributesAsked.insert(key);
    auto it = attributes.find(key);
    if (it == attributes.end()) return false;
    value = it->second;
    return true;
}

kvTag* kvTag::findChild(const std::string& childName) const
{
    childrenAsked.insert(childName);
    for (kvTag* child : children)
        if (child->name == childName) return child;
    return nullptr;
}

} // namespace Korvell
