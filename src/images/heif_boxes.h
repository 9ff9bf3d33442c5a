#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

// The item structure of a HEIF file's meta box, read by Glimmora itself so
// that pictures libheif would mishandle are refused before libheif sees
// them: items and their types, references, properties and where their data
// lies. Only what the checks need is kept.

using FourCC = std::array<char, 4>;

struct HeifProperty {
    FourCC type{};
    const unsigned char* payload = nullptr;  // after the box header (and full-box fields)
    std::size_t size = 0;
};

struct HeifExtent {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

struct HeifItem {
    std::uint32_t id = 0;
    FourCC type{};
    std::vector<std::uint16_t> properties;  // 1-based indices into the property list
    std::vector<HeifExtent> extents;
    std::uint8_t construction = 0;           // 0: file offsets, 1: in the idat box
    std::uint64_t baseOffset = 0;
};

struct HeifReference {
    FourCC type{};
    std::uint32_t from = 0;
    std::vector<std::uint32_t> to;
};

struct HeifStructure {
    std::uint32_t primary = 0;
    std::map<std::uint32_t, HeifItem> items;
    std::vector<HeifReference> references;
    std::vector<HeifProperty> properties;  // index i+1 is properties[i]
    const unsigned char* idat = nullptr;
    std::size_t idatSize = 0;

    const HeifItem* item(std::uint32_t id) const;
    // The items that `from` refers to with `type`, in order.
    std::vector<std::uint32_t> referencedBy(std::uint32_t from, const char* type) const;
    // The items that refer to `to` with `type`.
    std::vector<std::uint32_t> referring(std::uint32_t to, const char* type) const;
    // The item's associated properties of `type`.
    std::vector<const HeifProperty*> propertiesOf(const HeifItem& item, const char* type) const;
    // The item's bytes, its extents joined; nothing when they lie outside
    // the file or add up to more than it (see dataFits).
    std::optional<std::vector<unsigned char>> data(const HeifItem& item, const unsigned char* file,
                                                   std::size_t fileSize) const;
    // True when the item's extents lie inside their source (the file or
    // the idat box) and together hold no more bytes than it. Extents may
    // name the same bytes again and again: a file of a kilobyte could make
    // its reader join gigabytes.
    bool dataFits(const HeifItem& item, std::size_t fileSize) const;
};

bool isFourCC(const FourCC& code, const char* text);

// Reads the meta box of a HEIF file. Nothing when it is missing or
// malformed (libheif refuses such a file too).
std::optional<HeifStructure> readHeifStructure(const unsigned char* data, std::size_t size);
