// One element of the script: its name, attributes, text and children.
// It stores and looks up; what elements mean is the handlers' business.
// Tags live in a kvTagTree, which makes them one after another in blocks
// and lets them go together: a script of ten thousand slides is fifty
// thousand tags, and one allocation each cost more than expat's reading.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace Korvell {

class kvTagTree;

class kvTag {
public:
    typedef std::pair<std::string, std::string> Attribute;

    // The children, in document order.
    class Children {
    public:
        class iterator {
        public:
            explicit iterator(kvTag* tag) : at(tag) {}
            kvTag* operator*() const { return at; }
            iterator& operator++()
            {
                at = at->nextSibling;
                return *this;
            }
            bool operator!=(const iterator& other) const { return at != other.at; }

        private:
            kvTag* at;
        };
        explicit Children(kvTag* first) : head(first) {}
        iterator begin() const { return iterator(head); }
        iterator end() const { return iterator(nullptr); }
        bool empty() const { return !head; }
        kvTag* front() const { return head; }
        size_t size() const;

    private:
        kvTag* head;
    };

    // The attributes, in document order.
    class Attributes {
    public:
        Attributes(const Attribute* first, size_t count) : head(first), count_(count) {}
        const Attribute* begin() const { return head; }
        const Attribute* end() const { return head + count_; }
        size_t size() const { return count_; }

    private:
        const Attribute* head;
        size_t count_;
    };

    const std::string& getName() const { return name; }
    const std::string& getText() const { return text; }
    void setText(std::string value) { text = std::move(value); }
    void assignText(const char* characters, size_t length) { text.assign(characters, length); }
    void appendText(const char* characters, size_t length) { text.append(characters, length); }
    kvTag* getParent() const { return parent; }
    bool getAttribute(const std::string& key, std::string& value) const;
    // The value of an attribute, or null.
    const std::string* findAttribute(const std::string& key) const;
    // The first child of that name.
    kvTag* findChild(const std::string& childName) const;
    Children getChildren() const { return Children(firstChild); }
    Attributes getAttributes() const { return Attributes(firstAttribute, attributeCount); }
    // The script line of its start tag (for the checker's findings).
    int getLine() const { return line; }
    void setLine(int value) { line = value; }
    // What a reader asked of this tag, by a number of its own below 128
    // (the schema's attributes and elements): what tests of the schema read.
    void noteAsked(unsigned slot) const { asked[(slot >> 6) & 1] |= uint64_t(1) << (slot & 63); }
    bool wasAsked(unsigned slot) const { return (asked[(slot >> 6) & 1] >> (slot & 63)) & 1; }

private:
    friend class kvTagTree;
    kvTag(const char* name, kvTag* parent);
    ~kvTag() = default;
    kvTag(const kvTag&) = delete;
    kvTag& operator=(const kvTag&) = delete;

    std::string name;
    std::string text;
    kvTag* parent;
    kvTag* firstChild = nullptr;
    kvTag* lastChild = nullptr;
    kvTag* nextSibling = nullptr;
    const Attribute* firstAttribute = nullptr;
    size_t attributeCount = 0;
    int line = 0;
    mutable uint64_t asked[2] = {0, 0};
};

// The tags of one script: made in blocks, never moved, all let go when the
// tree goes (without recursion, whatever the depth).
class kvTagTree {
public:
    kvTagTree() = default;
    ~kvTagTree();
    // A new tag after the parent's last child (or a root without one), with
    // its attributes as expat gives them: names and values in turn, ending
    // with a null.
    kvTag* add(const char* name, kvTag* parent, const char* const* attributes = nullptr);
    size_t size() const { return count; }

private:
    friend class kvTag;
    kvTagTree(const kvTagTree&) = delete;
    kvTagTree& operator=(const kvTagTree&) = delete;

    // Blocks of tags, and of attributes (a tag's side by side), never
    // moved: no large array is copied as it grows.
    static const size_t kBlock = 256;
    static const size_t kAttributeBlock = 1024;
    std::vector<std::unique_ptr<unsigned char[]>> blocks;
    size_t count = 0;
    std::vector<std::unique_ptr<std::vector<kvTag::Attribute>>> attributeBlocks;
};

} // namespace Korvell
