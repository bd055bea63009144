#include "workbook/package/package_xml.h"

#include "workbook/package/package_zip.h"

#include <orcus/sax_parser.hpp>

#include <exception>

namespace kestrel::package {
namespace {

constexpr std::size_t kPadding = 16;

class Handler : public orcus::sax_handler {
public:
    explicit Handler(XmlEvents& events) : m_events(events) {}

    void attribute(const orcus::sax::parser_attribute& attribute) {
        m_attributes.add(attribute.name, attribute.value);
    }
    void start_element(const orcus::sax::parser_element& element) {
        m_events.start(element.name, m_attributes);
        m_attributes.clear();
    }
    void end_element(const orcus::sax::parser_element& element) {
        m_attributes.clear();
        m_events.end(element.name);
    }
    // Line ends written as such read as one line feed, as XML wants; a carriage return written
    // as a character reference (and so handed over decoded, "transient") stays.
    void characters(std::string_view value, bool transient) {
        if (transient || value.find('\r') == std::string_view::npos) {
            m_events.text(value);
            return;
        }
        m_normalized.clear();
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (value[i] != '\r')
                m_normalized += value[i];
            else if (i + 1 >= value.size() || value[i + 1] != '\n')
                m_normalized += '\n';
        }
        m_events.text(m_normalized);
    }

private:
    XmlEvents& m_events;
    XmlAttributes m_attributes;
    std::string m_normalized;
};

} // namespace

void parseXml(std::vector<unsigned char> content, XmlEvents& events, std::string_view partName) {
    // liborcus 0.17's parser looks at the character past the end of a truncated element and,
    // given a blank there, skips on without bound. A '/' there is no blank, no name, no '>',
    // '=' or quote: every such look fails and the part is refused as malformed.
    const std::size_t size = content.size();
    content.resize(size + kPadding, '/');
    Handler handler(events);
    try {
        orcus::sax_parser<Handler> parser(reinterpret_cast<const char*>(content.data()), size,
                                          handler);
        parser.parse();
    } catch (const PackageError&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw PackageError{Fault::TooLarge,
                           QString::fromUtf8(partName.data(), qsizetype(partName.size()))};
    } catch (const std::exception&) {
        throw PackageError{Fault::Damaged,
                           QString::fromUtf8(partName.data(), qsizetype(partName.size()))};
    }
}

} // namespace kestrel::package
