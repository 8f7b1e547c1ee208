#pragma once

#include <QListView>

#include <deque>
#include <mutex>
#include <string>
#include <string_view>

class QStringListModel;

namespace kavelin {

// The control dialog's log: one line per item, the newest 1001 lines. After each line the
// selection (and with it the scrolled position) lies on the line before the newest one; with
// a single line nothing is selected.
//
// `append` may be called from any thread. Lines wait in a queue and reach the list in one
// queued call to the GUI thread, whole and in the order of the calls; a burst of thousands of
// lines costs one update of the list, not thousands.
class LogList : public QListView {
public:
    static constexpr int kMaxLines = 1001;
    // A line is cut to this many bytes.
    static constexpr size_t kMaxLineBytes = 255;

    explicit LogList(QWidget* parent = nullptr);

    void append(std::string_view line);

    // GUI thread: the lines shown, oldest first, and the selected row (-1 for none).
    QStringList lines() const;
    int selectedRow() const;

private:
    void flush();

    QStringListModel* model_;
    std::mutex mutex_; // guards the two members below
    std::deque<std::string> pending_;
    bool flushQueued_ = false;
};

} // namespace kavelin
