#include "images/heif_boxes.h"

#include <cstring>

#include "images/byte_order.h"

namespace {

// A bounded reader of big-endian fields; a read past the end sets failed
// and yields zero, so a parse checks once at the end.
class Fields {
public:
    Fields(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}

    std::uint64_t read(unsigned bytes) {
        if (bytes > 8 || size_ - at_ < bytes) {
            failed_ = true;
            at_ = size_;
            return 0;
        }
        std::uint64_t value = 0;
        for (unsigned i = 0; i < bytes; ++i) value = value << 8 | data_[at_ + i];
        at_ += bytes;
        return value;
    }
    std::uint8_t u8() { return static_cast<std::uint8_t>(read(1)); }
    std::uint16_t u16() { return static_cast<std::uint16_t>(read(2)); }
    std::uint32_t u32() { return static_cast<std::uint32_t>(read(4)); }
    FourCC fourCC() {
        FourCC code{};
        if (size_ - at_ < 4) {
            failed_ = true;
            at_ = size_;
            return code;
        }
        std::memcpy(code.data(), data_ + at_, 4);
        at_ += 4;
        return code;
    }
    bool failed() const { return failed_; }
    bool atEnd() const { return at_ >= size_; }
    const unsigned char* here() const { return data_ + at_; }
    std::size_t left() const { return size_ - at_; }

private:
    const unsigned char* data_;
    std::size_t size_;
    std::size_t at_ = 0;
    bool failed_ = false;
};

struct Box {
    FourCC type{};
    const unsigned char* payload = nullptr;
    std::size_t size = 0;
};

// The boxes one after another in [data, data + size); false when one
// reaches past the end. With `upToDamage` the boxes before it are kept
// and the rest ignored (a file cut short after its meta box).
bool readBoxes(const unsigned char* data, std::size_t size, std::vector<Box>& boxes, bool upToDamage = false) {
    std::size_t at = 0;
    while (at < size) {
        if (size - at < 8) return upToDamage;
        std::uint64_t boxSize = readBE32(data + at);
        std::size_t header = 8;
        if (boxSize == 1) {
            if (size - at < 16) return upToDamage;
            boxSize = std::uint64_t{readBE32(data + at + 8)} << 32 | readBE32(data + at + 12);
            header = 16;
        } else if (boxSize == 0) {
            boxSize = size - at;
        }
        if (boxSize < header || boxSize > size - at) return upToDamage;
        Box box;
        std::memcpy(box.type.data(), data + at + 4, 4);
        box.payload = data + at + header;
        box.size = static_cast<std::size_t>(boxSize) - header;
        boxes.push_back(box);
        at += static_cast<std::size_t>(boxSize);
    }
    return true;
}

bool readItemInfo(const Box& box, HeifStructure& out) {
    Fields f(box.payload, box.size);
    const std::uint8_t version = f.u8();
    f.read(3);
    f.read(version == 0 ? 2 : 4);  // entry count: the boxes themselves say
    if (f.failed()) return false;
    std::vector<Box> entries;
    if (!readBoxes(f.here(), f.left(), entries)) return false;
    for (const Box& entry : entries) {
        if (!isFourCC(entry.type, "infe")) continue;
        Fields e(entry.payload, entry.size);
        const std::uint8_t entryVersion = e.u8();
        e.read(3);
        if (entryVersion < 2) continue;  // no item types before version 2
        HeifItem item;
        item.id = entryVersion == 2 ? e.u16() : e.u32();
        e.u16();  // protection index
        item.type = e.fourCC();
        if (e.failed()) return false;
        out.items[item.id].id = item.id;
        out.items[item.id].type = item.type;
    }
    return true;
}

bool readReferences(const Box& box, HeifStructure& out) {
    Fields f(box.payload, box.size);
    const std::uint8_t version = f.u8();
    f.read(3);
    if (f.failed()) return false;
    std::vector<Box> refs;
    if (!readBoxes(f.here(), f.left(), refs)) return false;
    const unsigned idBytes = version == 0 ? 2 : 4;
    for (const Box& ref : refs) {
        Fields r(ref.payload, ref.size);
        HeifReference reference;
        reference.type = ref.type;
        reference.from = static_cast<std::uint32_t>(r.read(idBytes));
        const std::uint16_t count = r.u16();
        for (std::uint16_t i = 0; i < count && !r.failed(); ++i)
            reference.to.push_back(static_cast<std::uint32_t>(r.read(idBytes)));
        if (r.failed()) return false;
        out.references.push_back(std::move(reference));
    }
    return true;
}

bool readProperties(const Box& box, HeifStructure& out) {
    std::vector<Box> children;
    if (!readBoxes(box.payload, box.size, children)) return false;
    for (const Box& child : children) {
        if (isFourCC(child.type, "ipco")) {
            std::vector<Box> properties;
            if (!readBoxes(child.payload, child.size, properties)) return false;
            for (const Box& p : properties) out.properties.push_back({p.type, p.payload, p.size});
        } else if (isFourCC(child.type, "ipma")) {
            Fields f(child.payload, child.size);
            const std::uint8_t version = f.u8();
            const std::uint32_t flags = static_cast<std::uint32_t>(f.read(3));
            const std::uint32_t entries = f.u32();
            for (std::uint32_t i = 0; i < entries && !f.failed(); ++i) {
                const std::uint32_t id = version < 1 ? f.u16() : f.u32();
                const std::uint8_t count = f.u8();
                HeifItem& item = out.items[id];
                item.id = id;
                for (std::uint8_t a = 0; a < count && !f.failed(); ++a) {
                    const std::uint16_t raw = (flags & 1) ? f.u16() : f.u8();
                    item.properties.push_back(static_cast<std::uint16_t>((flags & 1) ? raw & 0x7FFF : raw & 0x7F));
                }
            }
            if (f.failed()) return false;
        }
    }
    return true;
}

bool readLocations(const Box& box, HeifStructure& out) {
    Fields f(box.payload, box.size);
    const std::uint8_t version = f.u8();
    f.read(3);
    const std::uint8_t sizes = f.u8();
    const std::uint8_t more = f.u8();
    const unsigned offsetSize = sizes >> 4, lengthSize = sizes & 15, baseSize = more >> 4;
    const unsigned indexSize = (version == 1 || version == 2) ? (more & 15) : 0;
    const std::uint32_t count = version < 2 ? f.u16() : f.u32();
    for (std::uint32_t i = 0; i < count && !f.failed(); ++i) {
        const std::uint32_t id = version < 2 ? f.u16() : f.u32();
        HeifItem& item = out.items[id];
        item.id = id;
        if (version == 1 || version == 2) item.construction = static_cast<std::uint8_t>(f.u16() & 15);
        f.u16();  // data reference index
        item.baseOffset = f.read(baseSize);
        const std::uint16_t extents = f.u16();
        for (std::uint16_t e = 0; e < extents && !f.failed(); ++e) {
            f.read(indexSize);
            HeifExtent extent;
            extent.offset = f.read(offsetSize);
            extent.length = f.read(lengthSize);
            item.extents.push_back(extent);
        }
    }
    return !f.failed();
}

}  // namespace

bool isFourCC(const FourCC& code, const char* text) { return std::memcmp(code.data(), text, 4) == 0; }

const HeifItem* HeifStructure::item(std::uint32_t id) const {
    const auto found = items.find(id);
    return found == items.end() ? nullptr : &found->second;
}

std::vector<std::uint32_t> HeifStructure::referencedBy(std::uint32_t from, const char* type) const {
    std::vector<std::uint32_t> ids;
    for (const HeifReference& r : references)
        if (r.from == from && isFourCC(r.type, type)) ids.insert(ids.end(), r.to.begin(), r.to.end());
    return ids;
}

std::vector<std::uint32_t> HeifStructure::referring(std::uint32_t to, const char* type) const {
    std::vector<std::uint32_t> ids;
    for (const HeifReference& r : references)
        if (isFourCC(r.type, type))
            for (std::uint32_t id : r.to)
                if (id == to) ids.push_back(r.from);
    return ids;
}

std::vector<const HeifProperty*> HeifStructure::propertiesOf(const HeifItem& item, const char* type) const {
    std::vector<const HeifProperty*> found;
    for (std::uint16_t index : item.properties)
        if (index >= 1 && index <= properties.size() && isFourCC(properties[index - 1u].type, type))
            found.push_back(&properties[index - 1u]);
    return found;
}

bool HeifStructure::dataFits(const HeifItem& item, std::size_t fileSize) const {
    if (item.construction > 1 || (item.construction == 1 && !idat)) return false;
    const std::uint64_t sourceSize = item.construction == 1 ? idatSize : fileSize;
    std::uint64_t total = 0;
    for (const HeifExtent& extent : item.extents) {
        const std::uint64_t start = item.baseOffset + extent.offset;
        const std::uint64_t length = extent.length ? extent.length : sourceSize - std::min(start, sourceSize);
        if (start < item.baseOffset || start > sourceSize || length > sourceSize - start) return false;
        total += length;
        if (total > sourceSize) return false;
    }
    return true;
}

std::optional<std::vector<unsigned char>> HeifStructure::data(const HeifItem& item, const unsigned char* file,
                                                              std::size_t fileSize) const {
    const unsigned char* source = item.construction == 1 ? idat : file;
    const std::size_t sourceSize = item.construction == 1 ? idatSize : fileSize;
    if (item.construction > 1 || !source || !dataFits(item, fileSize)) return std::nullopt;
    std::vector<unsigned char> bytes;
    for (const HeifExtent& extent : item.extents) {
        const std::uint64_t start = item.baseOffset + extent.offset;
        // A length of zero is the rest of the source.
        const std::uint64_t length = extent.length ? extent.length : sourceSize - std::min<std::uint64_t>(start, sourceSize);
        if (start < item.baseOffset || start > sourceSize || length > sourceSize - start) return std::nullopt;
        bytes.insert(bytes.end(), source + start, source + start + length);
    }
    return bytes;
}

std::optional<HeifStructure> readHeifStructure(const unsigned char* data, std::size_t size) {
    std::vector<Box> top;
    if (!data) return std::nullopt;
    readBoxes(data, size, top, true);
    HeifStructure out;
    for (const Box& box : top) {
        if (!isFourCC(box.type, "meta")) continue;
        if (box.size < 4) return std::nullopt;
        std::vector<Box> children;
        if (!readBoxes(box.payload + 4, box.size - 4, children)) return std::nullopt;
        for (const Box& child : children) {
            bool ok = true;
            if (isFourCC(child.type, "pitm")) {
                Fields f(child.payload, child.size);
                const std::uint8_t version = f.u8();
                f.read(3);
                out.primary = version == 0 ? f.u16() : f.u32();
                ok = !f.failed();
            } else if (isFourCC(child.type, "iinf")) {
                ok = readItemInfo(child, out);
            } else if (isFourCC(child.type, "iref")) {
                ok = readReferences(child, out);
            } else if (isFourCC(child.type, "iprp")) {
                ok = readProperties(child, out);
            } else if (isFourCC(child.type, "iloc")) {
                ok = readLocations(child, out);
            } else if (isFourCC(child.type, "idat")) {
                out.idat = child.payload;
                out.idatSize = child.size;
            }
            if (!ok) return std::nullopt;
        }
        return out;
    }
    return std::nullopt;
}
