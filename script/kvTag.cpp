// Tag tree nodes and the blocks they live in.
#include "script/kvTag.h"

#include <new>

namespace Korvell {

size_t kvTag::Children::size() const
{
    size_t n = 0;
    for (kvTag* c = head; c; c = c->nextSibling) ++n;
    return n;
}

kvTag::kvTag(const char* name_, kvTag* parent_) : name(name_), parent(parent_)
{
    if (!parent) return;
    if (parent->lastChild)
        parent->lastChild->nextSibling = this;
    else
        parent->firstChild = this;
    parent->lastChild = this;
}

const std::string* kvTag::findAttribute(const std::string& key) const
{
    for (const Attribute& a : getAttributes())
        if (a.first == key) return &a.second;
    return nullptr;
}

bool kvTag::getAttribute(const std::string& key, std::string& value) const
{
    const std::string* found = findAttribute(key);
    if (!found) return false;
    value = *found;
    return true;
}

kvTag* kvTag::findChild(const std::string& childName) const
{
    for (kvTag* child = firstChild; child; child = child->nextSibling)
        if (child->name == childName) return child;
    return nullptr;
}

kvTagTree::~kvTagTree()
{
    for (size_t i = 0; i < count; ++i)
        reinterpret_cast<kvTag*>(blocks[i / kBlock].get() + (i % kBlock) * sizeof(kvTag))->~kvTag();
}

kvTag* kvTagTree::add(const char* name, kvTag* parent, const char* const* given)
{
    if (count % kBlock == 0) blocks.emplace_back(new unsigned char[kBlock * sizeof(kvTag)]);
    void* place = blocks.back().get() + (count % kBlock) * sizeof(kvTag);
    kvTag* tag = new (place) kvTag(name, parent);
    ++count;
    size_t n = 0;
    while (given && given[2 * n] && given[2 * n + 1]) ++n;
    if (n == 0) return tag;
    // A tag's attributes side by side, in a block with room for them all.
    std::vector<kvTag::Attribute>* block = attributeBlocks.empty() ? nullptr : attributeBlocks.back().get();
    if (!block || block->capacity() - block->size() < n) {
        attributeBlocks.emplace_back(new std::vector<kvTag::Attribute>);
        block = attributeBlocks.back().get();
        block->reserve(n > kAttributeBlock ? n : kAttributeBlock);
    }
    for (size_t i = 0; i < n; ++i) block->emplace_back(given[2 * i], given[2 * i + 1]);
    tag->firstAttribute = block->data() + (block->size() - n);
    tag->attributeCount = n;
    return tag;
}

} // namespace Korvell
