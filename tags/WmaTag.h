// WMA attributes of a file: the fixed-size record its callers exchange, read
// through the attribute object (or our own parser of legacy ASF files) and
// written through the attribute object.
#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>

// Texts are UTF-8, zero-terminated and zero-filled inside their fixed areas,
// so a field holds one byte less than its size. A new record is all zeros.
struct WmaTagInfo {
    std::int32_t found = 0; // -1 when the attributes could be read
    std::array<char, 128> year{};
    std::uint16_t trackNumber = 0;
    std::array<char, 128> artist{};
    std::array<char, 128> title{};
    std::array<char, 128> album{};
    std::array<char, 255> description{};
    std::array<char, 32> genre{};

    friend bool operator==(const WmaTagInfo&, const WmaTagInfo&) = default;
};

// The text of a fixed field up to its first zero byte.
QString wmaFieldText(const char* field, std::size_t size);
// Fills a fixed field with UTF-8 text, cut before the first character that
// does not fit whole, and zero-fills the rest.
void setWmaFieldBytes(char* field, std::size_t size, const QByteArray& utf8);

template <std::size_t N> QString wmaFieldText(const std::array<char, N>& field) {
    return wmaFieldText(field.data(), N);
}
template <std::size_t N> void setWmaFieldText(std::array<char, N>& field, const QString& text) {
    setWmaFieldBytes(field.data(), N, text.toUtf8());
}

// The attributes of `path`. A record with `found` 0 (all zeros) means no
// source could read the file; a caller then keeps what it had. Never changes
// the file or its permissions.
WmaTagInfo readWmaTag(const QString& path);

// Sets the seven attributes of `tag` in `path`. A read-only file is made
// writable for the write only. False when the attribute object cannot open the
// file for writing or the file cannot be saved.
bool writeWmaTag(const QString& path, const WmaTagInfo& tag);
