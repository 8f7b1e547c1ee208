#include "app/LogList.h"

#include <QItemSelectionModel>
#include <QStringListModel>

namespace kavelin {

LogList::LogList(QWidget* parent) : QListView(parent), model_(new QStringListModel(this)) {
    setModel(model_);
    setUniformItemSizes(true); // keeps a full list cheap to update and to scroll
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void LogList::append(std::string_view line) {
    std::lock_guard<std::mutex> lock(mutex_);
    // Lines older than the newest kMaxLines would be dropped by the list anyway.
    if (pending_.size() >= static_cast<size_t>(kMaxLines))
        pending_.pop_front();
    pending_.emplace_back(line.substr(0, kMaxLineBytes));
    if (flushQueued_)
        return;
    flushQueued_ = true;
    QMetaObject::invokeMethod(
        this, [this] { flush(); }, Qt::QueuedConnection);
}

void LogList::flush() {
    std::deque<std::string> lines;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lines.swap(pending_);
        flushQueued_ = false;
    }
    if (lines.empty())
        return;
    const int first = model_->rowCount();
    const int added = static_cast<int>(lines.size());
    model_->insertRows(first, added);
    for (int i = 0; i < added; ++i) {
        const std::string& line = lines[static_cast<size_t>(i)];
        model_->setData(model_->index(first + i),
                        QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
    }
    const int excess = model_->rowCount() - kMaxLines;
    if (excess > 0)
        model_->removeRows(0, excess);
    // Line by line the list would select the row before the newest after every line; after a
    // batch that is the same row.
    const int selected = model_->rowCount() - 2;
    if (selected < 0) {
        selectionModel()->clearSelection();
        return;
    }
    const QModelIndex index = model_->index(selected);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
}

QStringList LogList::lines() const {
    return model_->stringList();
}

int LogList::selectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

} // namespace kavelin
