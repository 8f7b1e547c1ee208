#include "commands/PictureEdit.h"

namespace kavelin {

bool PictureEdit::begin(Layer& layer) {
    if (layer.image() == nullptr)
        return false;
    slot_ = layer.currentSlot();
    cursor_ = *layer.cursor();
    inPlace_ = layer.privatePicture();
    if (inPlace_ == nullptr)
        shown_ = layer.imageRef();
    return true;
}

Image* PictureEdit::target() {
    if (inPlace_ != nullptr)
        return inPlace_;
    if (!copy_ && shown_)
        copy_ = shown_->clone();
    return copy_.get();
}

void PictureEdit::drawn() {
    if (Image* picture = inPlace_ != nullptr ? inPlace_ : copy_.get())
        picture->updateCoverage();
}

void PictureEdit::finish(Layer& layer, SharedScene::Access& scene) {
    if (copy_)
        scene.retire(layer.replaceImage(slot_, std::move(copy_)));
}

} // namespace kavelin
