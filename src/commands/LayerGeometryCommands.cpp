// Commands that place layers, size their windows, set their cursors, blending and visibility.
#include "commands/CommandTable.h"
#include "commands/LayerLookup.h"

namespace kavelin {

namespace {

CommandResult setLayerPosition(CommandContext& c, const Arguments& a) {
    if (!withLayer(c, a[0], [&](Layer& layer, auto&) { layer.setPosition(a[1], a[2]); }))
        return CommandResult::error();
    c.log.log("Layer %d position set to (%d, %d)", a[0], a[1], a[2]);
    return CommandResult::success();
}

CommandResult setLayerSize(CommandContext& c, const Arguments& a) {
    bool set = false;
    if (!withLayer(c, a[0], [&](Layer& layer, auto&) { set = layer.setSize(a[1], a[2]); }))
        return CommandResult::error();
    if (!set) {
        c.log.log("ERROR (setLayerSize) : Operation failed.");
        return CommandResult::error();
    }
    c.log.log("Layer %d size set to %d x %d", a[0], a[1], a[2]);
    return CommandResult::success();
}

CommandResult setLayerImageOffset(CommandContext& c, const Arguments& a) {
    return CommandResult::of(
        withLayer(c, a[0], [&](Layer& layer, auto&) { layer.setImageOffset(a[1], a[2]); }));
}

CommandResult setLayerCursor(CommandContext& c, const Arguments& a) {
    bool set = false;
    if (!withLayer(c, a[0], [&](Layer& layer, auto&) {
            if (DrawCursor* cursor = layer.cursor()) {
                cursor->set(a[1], a[2], a[3], a[4], a[7], a[8], a[9], a[10]);
                set = true;
            }
        }))
        return CommandResult::error();
    if (!set) {
        c.log.log("ERROR (setLayerCursor) : Operation failed.");
        return CommandResult::error();
    }
    c.log.log("Layer %d cursor set.", a[0]);
    return CommandResult::success();
}

CommandResult setLayerCursorCoordinates(CommandContext& c, const Arguments& a) {
    bool set = false;
    if (!withLayer(c, a[0], [&](Layer& layer, auto&) {
            if (DrawCursor* cursor = layer.cursor()) {
                cursor->setPosition(a[1], a[2], a[3], a[4]);
                set = true;
            }
        }))
        return CommandResult::error();
    if (!set) {
        c.log.log("ERROR (setLayerCursor_coordinates) : failed.");
        return CommandResult::error();
    }
    c.log.log("Layer %d cursor set to coordinates (%d, %d).", a[0], a[1], a[2]);
    return CommandResult::success();
}

CommandResult showLayer(CommandContext& c, const Arguments& a) {
    if (!withLayer(c, a[0], [](Layer& layer, auto&) { layer.show(); }))
        return CommandResult::error();
    c.log.log("Layer %d set visible.", a[0]);
    return CommandResult::success();
}

CommandResult hideLayer(CommandContext& c, const Arguments& a) {
    if (!withLayer(c, a[0], [](Layer& layer, auto&) { layer.hide(); }))
        return CommandResult::error();
    c.log.log("Layer %d hidden.", a[0]);
    return CommandResult::success();
}

CommandResult setLayerBlending(CommandContext& c, const Arguments& a) {
    const int32_t opacity = a[2];
    bool set = false;
    if (!withLayer(c, a[0], [&](Layer& layer, auto&) {
            set = opacity >= 0 && opacity <= 255 && layer.setBlending(a[1], opacity);
        }))
        return CommandResult::error();
    if (opacity < 0 || opacity > 255)
        c.log.log("ERROR (setLayerBlending) : Opacity value %d out of range.", opacity);
    return CommandResult::of(set);
}

CommandResult toggleLayers(CommandContext& c, const Arguments& a) {
    SharedScene::Access scene = c.scene.forCommand();
    Layer* first = nullptr;
    Layer* second = nullptr;
    if (!findLayers(*scene, c.log, a[0], a[1], first, second))
        return CommandResult::error();
    if (first->isVisible()) {
        second->show();
        first->hide();
    } else {
        first->show();
        second->hide();
    }
    return CommandResult::success();
}

} // namespace

CommandRows layerGeometryCommands() {
    static const CommandRow rows[] = {
        {66,
         {integer("layer"), integer("x"), integer("y")},
         3,
         FreeText::None,
         setLayerPosition,
         "66 0 100 50",
         "OK",
         "place layer 0's window at (100, 50)"},
        {67,
         {integer("layer"), integer("width"), integer("height")},
         3,
         FreeText::None,
         setLayerSize,
         "67 0 320 80",
         "OK",
         "window size"},
        {68,
         {integer("layer"), integer("x"), integer("y")},
         3,
         FreeText::None,
         setLayerImageOffset,
         "68 0 -20 0",
         "OK",
         "image offset inside the window"},
        {69,
         {integer("layer"), integer("cursor x"), integer("cursor y"), integer("align x"),
          integer("align y"), unused("reserved"), unused("reserved"), integer("grow to fit"),
          integer("draw kind"), integer("draw mode"), integer("draw value")},
         11,
         FreeText::None,
         setLayerCursor,
         "69 0 0 0 0 0 0 0 1 1 2 200",
         "OK",
         "cursor, alignment, grow, draw kind, mode and value of the image"},
        {70,
         {integer("layer"), integer("cursor x"), integer("cursor y"), integer("align x"),
          integer("align y")},
         5,
         FreeText::None,
         setLayerCursorCoordinates,
         "70 0 -100 0 1 0",
         "OK",
         "cursor and alignment only"},
        {75, {integer("layer")}, 1, FreeText::None, showLayer, "75 0", "OK", "show layer 0"},
        {76, {integer("layer")}, 1, FreeText::None, hideLayer, "76 0", "OK", "hide layer 0"},
        {78,
         {integer("layer"), integer("mode"), integer("opacity")},
         3,
         FreeText::None,
         setLayerBlending,
         "78 0 1 200",
         "OK",
         "blending mode (0 copy, 1 blend) and opacity"},
        {90,
         {integer("first"), integer("second")},
         2,
         FreeText::None,
         toggleLayers,
         "90 0 1",
         "OK",
         "toggle which of two layers is visible"},
    };
    return rows;
}

} // namespace kavelin
