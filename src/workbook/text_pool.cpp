#include "workbook/text_pool.h"

#include <QStringDecoder>
#include <limits>
#include <new>

namespace kestrel {
namespace {

constexpr std::size_t kRecentSlots = std::size_t(1) << 16;
constexpr std::uint32_t kNoText = std::numeric_limits<std::uint32_t>::max();

} // namespace

void TextPool::appendUtf8(std::string_view text) {
    const std::size_t start = m_chars.size();
    // UTF-8 never takes fewer bytes than UTF-16 takes code units.
    m_chars.resize(start + text.size());
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QChar* end = decoder.appendToBuffer(reinterpret_cast<QChar*>(m_chars.data() + start),
                                              QByteArrayView(text.data(), qsizetype(text.size())));
    m_chars.resize(std::size_t(reinterpret_cast<const char16_t*>(end) - m_chars.data()));
}

std::uint32_t TextPool::add() {
    if (m_chars.size() >= std::numeric_limits<std::uint32_t>::max() || size() >= kNoText - 1)
        throw std::bad_alloc();
    m_starts.push_back(std::uint32_t(m_chars.size()));
    return size() - 1;
}

std::uint32_t TextPool::add(QStringView text) {
    const auto* begin = reinterpret_cast<const char16_t*>(text.utf16());
    m_chars.insert(m_chars.end(), begin, begin + text.size());
    return add();
}

std::uint32_t TextPool::addRepeated() {
    if (m_recent.empty())
        m_recent.assign(kRecentSlots, Recent{0, kNoText});
    const QStringView text = pending();
    std::uint32_t hash = 2166136261u; // FNV-1a: short texts, and no seed to set up
    for (const QChar c : text)
        hash = (hash ^ c.unicode()) * 16777619u;
    Recent& slot = m_recent[hash & (kRecentSlots - 1)];
    // The hash is compared first: most texts are new, and their slot's text is far away.
    if (slot.index != kNoText && slot.hash == hash && at(slot.index) == text) {
        m_chars.resize(m_starts.back());
        return slot.index;
    }
    slot = Recent{hash, add()};
    return slot.index;
}

void TextPool::reserve(std::size_t texts, std::size_t characters) {
    m_starts.reserve(m_starts.size() + texts);
    m_chars.reserve(m_chars.size() + characters);
}

} // namespace kestrel
