// Commands for layer sets, their stacking order, and the layers made inside them.
#include "commands/CommandTable.h"
#include "commands/LayerLookup.h"

namespace kavelin {

namespace {

CommandResult numberOrError(int32_t number) {
    return number < 0 ? CommandResult::error() : CommandResult::number(number);
}

CommandResult createLayerSet(CommandContext& c, const Arguments&) {
    return numberOrError(c.scene.forCommand()->createSet());
}

CommandResult createLayer(CommandContext& c, const Arguments& a) {
    SharedScene::Access scene = c.scene.forCommand();
    if (scene->findSet(a[0]) == nullptr) {
        scene.release();
        c.log.log("ERROR (createLayer): Invalid layer set number (%d)", a[0]);
        return CommandResult::error();
    }
    return numberOrError(scene->createLayer(a[0]));
}

CommandResult releaseLayerSet(CommandContext& c, const Arguments& a) {
    {
        SharedScene::Access scene = c.scene.forCommand();
        std::unique_ptr<LayerSet> released = scene->releaseSet(a[0]);
        if (!released) {
            scene.release();
            c.log.log("ERROR (releaseLayerSet): Invalid layer set number (%d)", a[0]);
            return CommandResult::error();
        }
        scene.retire(std::move(released));
    }
    c.log.log("Layer set %d released.", a[0]);
    return CommandResult::success();
}

CommandResult releaseAllLayerSets(CommandContext& c, const Arguments&) {
    c.log.log("Releasing all layer sets.");
    SharedScene::Access scene = c.scene.forCommand();
    scene.retire(scene->releaseAll());
    return CommandResult::success();
}

// 118 and 119: one place later or earlier in the drawing order.
template <bool Later>
CommandResult moveLayerSet(CommandContext& c, const Arguments& a) {
    const bool moved =
        Later ? c.scene.forCommand()->sendBackward(a[0]) : c.scene.forCommand()->bringForward(a[0]);
    if (!moved)
        c.log.log("ERROR (%s): Invalid layer set number (%d)",
                  Later ? "layerSetSendBackward" : "layerSetBringForward", a[0]);
    return CommandResult::of(moved);
}

CommandResult setLayerSetPosition(CommandContext& c, const Arguments& a) {
    {
        SharedScene::Access scene = c.scene.forCommand();
        if (LayerSet* set = scene->findSet(a[0])) {
            set->x = a[1];
            set->y = a[2];
            return CommandResult::success();
        }
    }
    c.log.log("ERROR (setLayerSetPosition): Invalid layer set number (%d)", a[0]);
    return CommandResult::error();
}

} // namespace

CommandRows layerSetCommands() {
    static const CommandRow rows[] = {
        {116,
         {},
         0,
         FreeText::None,
         createLayerSet,
         "116",
         "OK 0",
         "create a layer set (on top of the others); layers need one first"},
        {117,
         {integer("set")},
         1,
         FreeText::None,
         releaseLayerSet,
         "117 0",
         "OK",
         "release a set and its layers"},
        {118,
         {integer("set")},
         1,
         FreeText::None,
         moveLayerSet<true>,
         "118 0",
         "OK",
         "move a set one place up (drawn later, covers the next)"},
        {119,
         {integer("set")},
         1,
         FreeText::None,
         moveLayerSet<false>,
         "119 0",
         "OK",
         "move a set one place down"},
        {120,
         {},
         0,
         FreeText::None,
         releaseAllLayerSets,
         "120",
         "OK",
         "release every set and layer"},
        {121,
         {integer("set")},
         1,
         FreeText::None,
         createLayer,
         "121 0",
         "OK 0",
         "create a layer in set 0; the commands on layers need one first"},
        {122,
         {integer("set"), integer("x"), integer("y")},
         3,
         FreeText::None,
         setLayerSetPosition,
         "122 0 100 50",
         "OK",
         "move set 0 (its layers move with it)"},
    };
    return rows;
}

} // namespace kavelin
