#include "images/heif_checks.h"

#include <cstdint>
#include <optional>
#include <set>

#include "images/byte_order.h"
#include "images/heif_boxes.h"
#include "images/heif_streams.h"
#include "images/rgb_image.h"

namespace {

constexpr std::size_t kMaxPicturesPerItem = 8;
// An identity over a grid over its tiles.
constexpr int kMaxDerivationDepth = 2;

bool isCoded(const HeifItem& item) { return isFourCC(item.type, "hvc1") || isFourCC(item.type, "av01"); }
bool isDerived(const HeifItem& item) {
    return isFourCC(item.type, "grid") || isFourCC(item.type, "iovl") || isFourCC(item.type, "iden");
}

std::optional<CodedSize> declaredSize(const HeifStructure& s, const HeifItem& item) {
    const auto ispe = s.propertiesOf(item, "ispe");
    if (ispe.empty() || ispe[0]->size < 12) return std::nullopt;
    return CodedSize{readBE32(ispe[0]->payload + 4), readBE32(ispe[0]->payload + 8)};
}

// Bits of the first channel, as pixi gives them; 0 without pixi.
unsigned declaredDepth(const HeifStructure& s, const HeifItem& item) {
    const auto pixi = s.propertiesOf(item, "pixi");
    if (pixi.empty() || pixi[0]->size < 6 || pixi[0]->payload[4] == 0) return 0;
    return pixi[0]->payload[5];
}

bool isAlphaAuxiliary(const HeifStructure& s, const HeifItem& item) {
    for (const HeifProperty* auxC : s.propertiesOf(item, "auxC")) {
        const std::string urn(reinterpret_cast<const char*>(auxC->payload) + 4,
                              auxC->size > 4 ? auxC->size - 4 : 0);
        if (urn.rfind("urn:mpeg:hevc:2015:auxid:1", 0) == 0 ||
            urn.rfind("urn:mpeg:mpegB:cicp:systems:auxiliary:alpha", 0) == 0)
            return true;
    }
    return false;
}

// The alpha item that belongs to `id`, if any.
const HeifItem* alphaOf(const HeifStructure& s, std::uint32_t id) {
    for (std::uint32_t aux : s.referring(id, "auxl")) {
        const HeifItem* item = s.item(aux);
        if (item && isAlphaAuxiliary(s, *item)) return item;
    }
    return nullptr;
}

bool quarterTurned(const HeifStructure& s, const HeifItem& item) {
    const auto irot = s.propertiesOf(item, "irot");
    return !irot.empty() && irot[0]->size >= 1 && (irot[0]->payload[0] & 1) != 0;
}

bool transformsOnce(const HeifStructure& s, const HeifItem& item) {
    return s.propertiesOf(item, "irot").size() <= 1 && s.propertiesOf(item, "imir").size() <= 1 &&
           s.propertiesOf(item, "clap").size() <= 1;
}

class Walk {
public:
    Walk(const HeifStructure& s, const unsigned char* data, std::size_t size) : s_(s), data_(data), size_(size) {}

    // Visits `id` and what its decode touches; false when anything is refused.
    bool visit(std::uint32_t id, int depth) {
        const HeifItem* item = s_.item(id);
        if (!item) return true;  // libheif reports a missing item itself
        if (!transformsOnce(s_, *item)) return false;
        if (const auto size = declaredSize(s_, *item)) {
            if (!imageSizeAcceptable(size->width, size->height)) return false;
            pixels_ += std::uint64_t{size->width} * size->height;
            if (pixels_ > 2 * static_cast<std::uint64_t>(kMaxImagePixels)) return false;
        }
        if (isCoded(*item)) {
            if (++decodes_ > kMaxHeifDecodes) return false;
            if (!checked_.insert(id).second) return true;
            return codedStreamAcceptable(*item);
        }
        if (!isDerived(*item)) return true;
        if (depth >= kMaxDerivationDepth) return false;
        const auto inputs = s_.referencedBy(id, "dimg");
        if (isFourCC(item->type, "grid") && !gridAcceptable(*item, inputs)) return false;
        const bool composed = !isFourCC(item->type, "iden");
        for (std::uint32_t input : inputs) {
            if (composed && !alphaMatches(input)) return false;
            if (!visit(input, depth + 1)) return false;
            if (const HeifItem* alpha = alphaOf(s_, input); alpha && !visit(alpha->id, depth + 1)) return false;
        }
        return true;
    }

private:
    bool codedStreamAcceptable(const HeifItem& item) {
        const auto bytes = s_.data(item, data_, size_);
        if (!bytes) return true;  // libheif refuses data it cannot find
        const auto declared = declaredSize(s_, item);
        std::optional<CodedSize> coded;
        if (isFourCC(item.type, "hvc1")) {
            const auto hvcC = s_.propertiesOf(item, "hvcC");
            const unsigned lengthBytes = hvcC.empty() ? 4 : hevcLengthBytes(hvcC[0]->payload, hvcC[0]->size);
            if (hevcPictureCount(*bytes, lengthBytes) > kMaxPicturesPerItem) return false;
            if (!hvcC.empty()) coded = hevcCodedSize(hvcC[0]->payload, hvcC[0]->size);
        } else {
            if (av1FrameCount(*bytes) > kMaxPicturesPerItem) return false;
            coded = av1CodedSize(bytes->data(), bytes->size());
        }
        if (!coded || !declared) return true;
        if (coded->width == declared->width && coded->height == declared->height) return true;
        // libheif's own encoder of this revision declares the size after
        // a quarter turn; that much is taken.
        return quarterTurned(s_, item) && coded->width == declared->height && coded->height == declared->width;
    }

    bool gridAcceptable(const HeifItem& grid, const std::vector<std::uint32_t>& tiles) {
        const auto bytes = s_.data(grid, data_, size_);
        if (!bytes || bytes->size() < 8) return true;  // libheif refuses it
        const unsigned char* g = bytes->data();
        const unsigned rows = g[2] + 1u, columns = g[3] + 1u;
        const bool wide = (g[1] & 1) != 0;
        if (wide && bytes->size() < 12) return true;
        const std::uint32_t width = wide ? readBE32(g + 4) : readBE16(g + 4);
        const std::uint32_t height = wide ? readBE32(g + 8) : readBE16(g + 6);
        if (tiles.size() != std::size_t{rows} * columns) return true;  // libheif refuses it
        std::optional<CodedSize> tileSize;
        for (std::uint32_t id : tiles) {
            const HeifItem* tile = s_.item(id);
            const auto size = tile ? declaredSize(s_, *tile) : std::nullopt;
            if (!size) return false;
            if (tileSize && (size->width != tileSize->width || size->height != tileSize->height)) return false;
            tileSize = size;
        }
        // Every pixel of the canvas comes from a tile; none is left unset.
        return tileSize && std::uint64_t{tileSize->width} * columns >= width &&
               std::uint64_t{tileSize->height} * rows >= height;
    }

    bool alphaMatches(std::uint32_t input) {
        const HeifItem* colour = s_.item(input);
        const HeifItem* alpha = alphaOf(s_, input);
        if (!colour || !alpha) return true;
        const auto colourSize = declaredSize(s_, *colour), alphaSize = declaredSize(s_, *alpha);
        if (!colourSize || !alphaSize || colourSize->width != alphaSize->width ||
            colourSize->height != alphaSize->height)
            return false;
        const unsigned colourDepth = declaredDepth(s_, *colour), alphaDepth = declaredDepth(s_, *alpha);
        return colourDepth == 0 || alphaDepth == 0 || colourDepth == alphaDepth;
    }

    const HeifStructure& s_;
    const unsigned char* data_;
    std::size_t size_;
    int decodes_ = 0;
    std::uint64_t pixels_ = 0;
    std::set<std::uint32_t> checked_;
};

}  // namespace

bool heifStructureAcceptable(const unsigned char* data, std::size_t size) {
    const auto structure = readHeifStructure(data, size);
    if (!structure) return true;
    // libheif joins an item's extents as they are listed.
    for (const auto& [id, item] : structure->items)
        if (!item.extents.empty() && !structure->dataFits(item, size)) return false;
    Walk walk(*structure, data, size);
    if (!walk.visit(structure->primary, 0)) return false;
    // The primary picture's own alpha is decoded with it.
    if (const HeifItem* alpha = alphaOf(*structure, structure->primary))
        return walk.visit(alpha->id, 0);
    return true;
}
