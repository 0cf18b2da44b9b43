// One element of the script: its name, attributes, text and children.
// It stores and looks up; what elements mean is the handlers' business.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace Korvell {

class kvTag {
public:
    kvTag(std::string name, kvTag* parent);
    ~kvTag();

    std::string getName() const { return name; }
    std::string getText() const { return text; }
    void setText(std::string value) { text = std::move(value); }
    kvTag* getParent() const { return parent; }
    void setAttribute(std::string key, std::string value);
    bool getAttribute(std::string key, std::string& value) const;
    kvTag* findChild(const std::string& childName) const;
    const std::vector<kvTag*>& getChildren() const { return children; }
    const std::map<std::string, std::string>& getAttributes() const { return attributes; }
    // The script line of its start tag (for the checker's findings).
    int getLine() const { return line; }
    // The attributes and the children a handler asked for (getAttribute
    // and findChild note them): what tests of the schema read.
    const std::set<std::string>& askedAttributes() const { return attributesAsked; }
    const std::set<std::string>& askedChildren() const { return childrenAsked; }
    void setLine(int value) { line = value; }

private:
    kvTag(const kvTag&) = delete;
    kvTag& operator=(const kvTag&) = delete;

    std::string name;
    std::map<std::string, std::string> attributes;
    std::string text;
    kvTag* parent;
    std::vector<kvTag*> children;
    int line = 0;
    mutable std::set<std::string> attributesAsked;
    mutable std::set<std::string> childrenAsked;
};

} // namespace Korvell
