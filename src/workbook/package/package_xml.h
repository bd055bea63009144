#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrel::package {

// One element's attributes, by local name (namespace prefixes dropped, so that the Strict and
// the transitional Office Open XML namespaces, and any prefix a writer chose, read alike).
class XmlAttributes {
public:
    void clear() { m_items.clear(); }
    void add(std::string_view name, std::string_view value) {
        m_items.push_back({std::string(name), std::string(value)});
    }
    // The empty text when absent.
    std::string_view get(std::string_view name) const {
        for (const Item& item : m_items) {
            if (item.name == name)
                return item.value;
        }
        return {};
    }
    bool has(std::string_view name) const {
        for (const Item& item : m_items) {
            if (item.name == name)
                return true;
        }
        return false;
    }
    // Whether any attribute of that local name (whatever its prefix) has that value.
    bool has(std::string_view name, std::string_view value) const {
        for (const Item& item : m_items) {
            if (item.name == name && item.value == value)
                return true;
        }
        return false;
    }

private:
    struct Item {
        std::string name;
        std::string value;
    };
    std::vector<Item> m_items;
};

// What a part reader is told while liborcus's SAX parser walks the XML.
class XmlEvents {
public:
    virtual ~XmlEvents() = default;
    virtual void start(std::string_view name, const XmlAttributes& attributes) = 0;
    virtual void end(std::string_view name) = 0;
    virtual void text(std::string_view) {}
};

// Parses a whole part; throws PackageError (Damaged, naming the part) for malformed XML.
void parseXml(std::vector<unsigned char> content, XmlEvents& events, std::string_view partName);

} // namespace kestrel::package
