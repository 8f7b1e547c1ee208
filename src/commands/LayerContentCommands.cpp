// Commands that give layers their pictures: blank ones, TGA stills and sequences, copies, crops.
// The pictures are made outside the scene's lock and set in one step.
#include "base/MediaFolder.h"
#include "commands/CommandTable.h"
#include "commands/LayerLookup.h"
#include "commands/LoadFailure.h"
#include "commands/PictureEdit.h"
#include "image/PixelRoutines.h"
#include "image/SaturatingMath.h"
#include "image/TgaFile.h"

#include <cstdio>

namespace kavelin {

namespace {

using Picture = std::shared_ptr<const Image>;

// Frame file names have room for this many bytes.
constexpr size_t kMaxFrameNameLength = 259;

// What a command that draws into a layer's picture needs to know of it.
struct PictureSlot {
    int32_t slot = -1;
    Picture picture;
    DrawCursor cursor;
};

PictureSlot currentPicture(const Layer& layer) {
    const DrawCursor* cursor = layer.cursor();
    return {layer.currentSlot(), layer.imageRef(), cursor != nullptr ? *cursor : DrawCursor{}};
}

CommandResult resetLayer(CommandContext& c, const Arguments& a) {
    if (!withLayer(c, a[0],
                   [](Layer& layer, SharedScene::Access& scene) { scene.retire(layer.reset()); }))
        return CommandResult::error();
    c.log.log("Layer %d reseted.", a[0]);
    return CommandResult::success();
}

CommandResult initLayerSize(CommandContext& c, const Arguments& a) {
    if (!layerExists(c, a[0]))
        return CommandResult::error();
    // A size that cannot be had leaves the layer as it was.
    auto picture = std::make_shared<Image>();
    if (!picture->allocate(a[1], a[2])) {
        c.log.log("ERROR (initLayer_size) : init failed.");
        return CommandResult::error();
    }
    picture->updateCoverage();
    withLayer(c, a[0], [&](Layer& layer, SharedScene::Access& scene) {
        scene.retire(layer.setFrames({std::move(picture)}, 1, true));
        layer.setWindow(a[1], a[2]);
    });
    c.log.log("Layer %d initialized to %d x %d", a[0], a[1], a[2]);
    return CommandResult::success();
}

CommandResult initLayerTga(CommandContext& c, const Arguments& a) {
    if (!layerExists(c, a[0]))
        return CommandResult::error();
    const std::string& path = a.text();
    Result<std::unique_ptr<Image>> loaded = readTgaPicture(c.media, path);
    if (!loaded) {
        // The layer keeps what it showed.
        logLoadFailure(c.log, loaded.error());
        c.log.log("ERROR (initLayer_tga) : init failed. (%s)", path.c_str());
        return CommandResult::error();
    }
    (*loaded)->updateCoverage();
    if (!withLayer(c, a[0], [&](Layer& layer, SharedScene::Access& scene) {
            const int32_t width = (*loaded)->width(), height = (*loaded)->height();
            scene.retire(layer.setFrames({std::move(*loaded)}, 1, true));
            layer.setWindow(width, height);
        }))
        return CommandResult::error();
    c.log.log("Layer %d initialized. (tga)", a[0]);
    return CommandResult::success();
}

// One frame of a sequence: the picture, the end of the sequence (no such file), or a failure
// that fails the whole load, logged with the line of the step that failed.
struct SequenceFrame {
    std::shared_ptr<const Image> picture;
    bool failed = false;
};

SequenceFrame readSequenceFrame(CommandContext& c, const std::string& name) {
    Result<std::optional<ReadableFile>> opened = c.media.openFileIfPresent(name);
    if (!opened || !*opened) {
        if (!opened)
            logLoadFailure(c.log, opened.error());
        c.log.log("ERROR : Failed to open file %s", name.c_str());
        return {nullptr, !opened.ok()};
    }
    TgaFile reader(std::move(**opened));
    Result<TgaInfo> info = reader.readHeader();
    if (!info) {
        logLoadFailure(c.log, info.error());
        c.log.log("ERROR : Failed to read file %s", name.c_str());
        return {nullptr, true};
    }
    Result<std::unique_ptr<Image>> picture = reader.readPicture();
    if (!picture) {
        logLoadFailure(c.log, picture.error());
        c.log.log("ERROR : Failed to get image data from %s", name.c_str());
        return {nullptr, true};
    }
    (*picture)->updateCoverage();
    return {std::move(*picture), false};
}

// Frames first to last (one frame when last is smaller), up to the first missing file, which
// ends the sequence; a file that is there and cannot be read fails the whole load. The layer
// changes only when a sequence is set.
CommandResult initLayerTgaSequence(CommandContext& c, const Arguments& a) {
    const int32_t number = a[0], first = a[1], last = a[2];
    if (!layerExists(c, number))
        return CommandResult::error();
    const std::string& prefix = a.text();
    c.log.log("Layer %d Loading tga sequence %s", number, prefix.c_str());
    const auto failed = [&] {
        c.log.log("ERROR (initLayer_tgaSequence) : Failed to load frames.");
        return CommandResult::error();
    };
    std::vector<Picture> pictures;
    int32_t n = first;
    bool ended = false; // by a missing file or the frame limit
    for (;; ++n) {
        if (pictures.size() >= size_t{Layer::kMaxFrames}) {
            ended = true;
            break;
        }
        char digits[16];
        std::snprintf(digits, sizeof digits, "%04d", n);
        const std::string name = prefix + digits + ".tga";
        if (name.size() > kMaxFrameNameLength) {
            logLoadFailure(c.log,
                           fileError(name, "file name longer than " +
                                               std::to_string(kMaxFrameNameLength) + " bytes"));
            return failed();
        }
        SequenceFrame frame = readSequenceFrame(c, name);
        if (frame.failed)
            return failed();
        if (!frame.picture) {
            ended = true;
            break;
        }
        pictures.push_back(std::move(frame.picture));
        if (n >= last)
            break;
    }
    if (pictures.empty())
        return failed();
    const int32_t counted = static_cast<int32_t>(pictures.size());
    withLayer(c, number, [&](Layer& layer, SharedScene::Access& scene) {
        scene.retire(layer.setFrames(std::move(pictures), counted, true));
        layer.fitWindowToImage();
    });
    if (!ended) {
        c.log.log("Layer %d initialized. (sequence)", number);
        return CommandResult::success();
    }
    c.log.log("WARNING (initLayer_tgaSequence) : Only the frames %d - %d loaded.", first, n - 1);
    return CommandResult::success();
}

// Draws a region of the source layer's picture into the destination's at its cursor (the whole
// picture when `whole`). False when it cannot, with the reason logged under the command's `name`
// (after the budget's line when memory was refused). Without the memory for the copy or the
// grown picture, the destination stays as it was.
bool copyRegion(CommandContext& c, const char* name, int32_t destination, int32_t source, int32_t x,
                int32_t y, int32_t w, int32_t h, bool whole) {
    PictureEdit edit;
    Picture from;
    {
        SharedScene::Access scene = c.scene.forCommand();
        Layer* dst = nullptr;
        Layer* src = nullptr;
        if (!findLayers(*scene, c.log, destination, source, dst, src))
            return false;
        const bool drawable = edit.begin(*dst);
        if (!drawable || src->image() == nullptr) {
            scene.release();
            c.log.log("ERROR (%s) : Layer %d has no image.", name, drawable ? source : destination);
            return false;
        }
        from = src->imageRef();
    }
    if (whole) {
        w = from->width();
        h = from->height();
    } else if (w < 1 || h < 1 || !from->containsRect(x, y, w, h)) {
        c.log.log("ERROR (%s) : Region (%d, %d) %d x %d is not within layer %d's %d x %d image.",
                  name, x, y, w, h, source, from->width(), from->height());
        return false;
    }
    Image* drawn = edit.target();
    // Memory refused, or a picture that would grow past the largest size.
    if (drawn == nullptr || !drawn->drawImage(edit.cursor(), *from, x, y, w, h)) {
        c.log.log("ERROR (%s) : Copy failed.", name);
        return false;
    }
    const Point anchor = edit.cursor().anchor(drawn->width(), drawn->height());
    edit.drawn();
    withLayer(c, destination, [&](Layer& layer, SharedScene::Access& scene) {
        edit.finish(layer, scene);
        // A picture grown to the left or upwards keeps its old content where it was.
        if (edit.cursor().growsToFit())
            layer.moveImageOffset(anchor.x < 0 ? anchor.x : 0, anchor.y < 0 ? anchor.y : 0);
    });
    return true;
}

CommandResult copyLayer(CommandContext& c, const Arguments& a) {
    if (!copyRegion(c, "copyLayer", a[0], a[1], 0, 0, 0, 0, true))
        return CommandResult::error();
    c.log.log("Layer %d copied to layer %d.", a[1], a[0]);
    return CommandResult::success();
}

CommandResult copyLayerRegion(CommandContext& c, const Arguments& a) {
    if (!copyRegion(c, "copyLayerRegion", a[0], a[1], a[2], a[3], a[4], a[5], false))
        return CommandResult::error();
    c.log.log("Layer %d region (%d, %d) %d x %d copied to layer %d.", a[1], a[2], a[3], a[4], a[5],
              a[0]);
    return CommandResult::success();
}

// Which part of a picture a crop keeps, and where the picture sits in the window after it.
struct CropPlan {
    int32_t x = 0, y = 0, width = 0, height = 0;
    Point offset;
};

// Crops the layer's picture as plan(layer, picture) says; false without a picture.
template <typename Plan>
bool cropPicture(CommandContext& c, Layer*& found, int32_t number, Plan plan) {
    PictureSlot target;
    CropPlan cut;
    {
        SharedScene::Access scene = c.scene.forCommand();
        found = findLayer(*scene, c.log, number);
        if (found == nullptr)
            return false;
        target = currentPicture(*found);
        if (!target.picture)
            return false;
        cut = plan(*found, *target.picture);
    }
    std::unique_ptr<Image> kept = target.picture->cropped(cut.x, cut.y, cut.width, cut.height);
    if (kept)
        kept->updateCoverage();
    withLayer(c, number, [&](Layer& layer, SharedScene::Access& scene) {
        layer.setImageOffset(cut.offset.x, cut.offset.y);
        if (kept)
            scene.retire(layer.replaceImage(target.slot, std::move(kept)));
    });
    return true;
}

CommandResult cropLayerToWindow(CommandContext& c, const Arguments& a) {
    Layer* layer = nullptr;
    const bool cropped = cropPicture(c, layer, a[0], [](const Layer& l, const Image& picture) {
        const ClippedRect shown = clipRect(l.offsetX(), l.offsetY(), picture.width(),
                                           picture.height(), l.windowWidth(), l.windowHeight());
        return CropPlan{shown.srcX, shown.srcY, shown.w, shown.h, {shown.x, shown.y}};
    });
    if (layer == nullptr)
        return CommandResult::error();
    if (!cropped) {
        c.log.log("ERROR (cropLayerImage) : Crop failed.");
        return CommandResult::error();
    }
    c.log.log("Layer %d image cropped.", a[0]);
    return CommandResult::success();
}

CommandResult cropLayerToRect(CommandContext& c, const Arguments& a) {
    const int32_t x = a[1], y = a[2], w = a[3], h = a[4];
    if (w < 1 || h < 1) {
        c.log.log("ERROR (cropLayerImage) : invalid dimensions. (%d x %d)", w, h);
        return CommandResult::error();
    }
    Layer* layer = nullptr;
    const bool cropped = cropPicture(c, layer, a[0], [&](const Layer& l, const Image&) {
        return CropPlan{satSub(x, l.offsetX()), satSub(y, l.offsetY()), w, h, {x, y}};
    });
    if (layer == nullptr)
        return CommandResult::error();
    if (!cropped) {
        c.log.log("ERROR (cropLayerImage) : Crop failed.");
        return CommandResult::error();
    }
    c.log.log("Layer %d image cropped to %dx%d.", a[0], w, h);
    return CommandResult::success();
}

// The 0 x 0 picture of a cleared layer, made before the scene is touched; none without memory.
std::shared_ptr<const Image> emptyPicture() {
    auto empty = std::make_shared<Image>();
    return empty->allocate(0, 0) ? empty : nullptr;
}

CommandResult clearLayer(CommandContext& c, const Arguments& a) {
    const std::shared_ptr<const Image> empty = emptyPicture();
    if (!empty)
        return CommandResult::error();
    bool cleared = false;
    if (!withLayer(c, a[0], [&](Layer& layer, SharedScene::Access& scene) {
            scene.retire(layer.imageRef());
            cleared = layer.clearImage(empty);
        }))
        return CommandResult::error();
    if (!cleared) {
        c.log.log("ERROR (clearLayer) : Failed to clear layer %d.", a[0]);
        return CommandResult::error();
    }
    c.log.log("Layer %d cleared.", a[0]);
    return CommandResult::success();
}

CommandResult clearAllLayers(CommandContext& c, const Arguments&) {
    const std::shared_ptr<const Image> empty = emptyPicture();
    if (!empty)
        return CommandResult::error();
    {
        SharedScene::Access scene = c.scene.forCommand();
        scene->forEachLayer([&](Layer& layer, const LayerSet&) {
            scene.retire(layer.imageRef());
            layer.clearImage(empty);
        });
    }
    c.log.log("All layers cleared.");
    return CommandResult::success();
}

CommandResult layerImageSize(CommandContext& c, const Arguments& a) {
    SharedScene::Access scene = c.scene.forCommand();
    const Layer* layer = scene->findLayer(a[0]);
    if (layer == nullptr) {
        c.log.log("ERROR (getLayerImageSize) : No layer found for number %d.", a[0]);
        return CommandResult::error();
    }
    if (layer->image() == nullptr) {
        c.log.log("ERROR (getLayerImageSize) : Layer %d has no image.", a[0]);
        return CommandResult::error();
    }
    return CommandResult::size(layer->image()->width(), layer->image()->height());
}

CommandResult clearFramebuffer(CommandContext& c, const Arguments&) {
    c.log.log("Framebuffer cleared.");
    return CommandResult::success();
}

} // namespace

CommandRows layerContentCommands() {
    static const CommandRow rows[] = {
        {59,
         {},
         0,
         FreeText::None,
         clearFramebuffer,
         "59",
         "OK",
         "clear the frame buffer (logged only)"},
        {61,
         {integer("layer")},
         1,
         FreeText::None,
         resetLayer,
         "61 0",
         "OK",
         "reset layer 0 to empty and hidden"},
        {62,
         {integer("layer"), integer("width"), integer("height")},
         3,
         FreeText::None,
         initLayerSize,
         "62 0 720 100",
         "OK",
         "give layer 0 a blank 720 x 100 image"},
        {63,
         {integer("layer"), text("path")},
         1,
         FreeText::None,
         initLayerTga,
         "63 0 logo.tga",
         "OK",
         "load a TGA file into layer 0"},
        {64,
         {integer("layer"), text("prefix"), integer("first"), integer("last")},
         3,
         FreeText::None,
         initLayerTgaSequence,
         "64 0 clips/run_\t0 24",
         "OK",
         "load `clips/run_0000.tga` ... `run_0024.tga` as a sequence"},
        {84,
         {integer("destination"), integer("source")},
         2,
         FreeText::None,
         copyLayer,
         "84 1 0",
         "OK",
         "copy layer 0's image into layer 1"},
        {85,
         {integer("destination"), integer("source"), integer("x"), integer("y"), integer("width"),
          integer("height")},
         6,
         FreeText::None,
         copyLayerRegion,
         "85 1 0 0 0 50 20",
         "OK",
         "copy a 50 x 20 region of layer 0 into layer 1"},
        {86,
         {integer("layer")},
         1,
         FreeText::None,
         cropLayerToWindow,
         "86 0",
         "OK",
         "crop the image to what the window shows"},
        {91,
         {integer("layer")},
         1,
         FreeText::None,
         clearLayer,
         "91 0",
         "OK",
         "clear layer 0's image"},
        {92, {}, 0, FreeText::None, clearAllLayers, "92", "OK", "clear every layer's image"},
        {102,
         {integer("layer"), integer("x"), integer("y"), integer("width"), integer("height")},
         5,
         FreeText::None,
         cropLayerToRect,
         "102 0 10 10 50 20",
         "OK",
         "crop the image to a rectangle in window coordinates"},
        {124,
         {integer("layer")},
         1,
         FreeText::None,
         layerImageSize,
         "124 0",
         "OK 400 60",
         "size of the layer's current image"},
    };
    return rows;
}

} // namespace kavelin
