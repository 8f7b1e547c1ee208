#include "app/ControlDialog.h"

#include "app/AppIcon.h"
#include "app/Application.h"
#include "app/LogList.h"
#include "engine/LogChannel.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

namespace kavelin {

namespace {

// Converts dialog units to pixels of the dialog's font: a horizontal unit is a quarter of the
// average character width, a vertical one an eighth of the character height.
class DialogUnits {
public:
    explicit DialogUnits(const QFontMetrics& metrics)
        : x_(std::max(1, (metrics.horizontalAdvance(QStringLiteral(
                              "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) +
                          26) /
                             52)),
          y_(std::max(1, metrics.height())) {}

    QRect rect(int x, int y, int w, int h) const { return QRect(px(x), py(y), px(w), py(h)); }
    int px(int dlu) const { return (dlu * x_ + 2) / 4; }
    int py(int dlu) const { return (dlu * y_ + 4) / 8; }

private:
    int x_;
    int y_;
};

// Hands the log's lines to the list. A diagnostic's own line feed is not shown.
class ListWriter : public LogWriter {
public:
    explicit ListWriter(LogList& list) : list_(list) {}
    void write(std::span<const LogLine> lines) override {
        for (const LogLine& line : lines) {
            std::string_view text = line.text;
            if (line.kind == LogLine::Kind::Diagnostic && !text.empty() && text.back() == '\n')
                text.remove_suffix(1);
            list_.append(text);
        }
    }

private:
    LogList& list_;
};

} // namespace

ControlDialog::ControlDialog(Application& app, LogChannel& log)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      app_(app), channel_(log) {
    setWindowTitle(QStringLiteral("Ovindu Kavelin 4.0"));
    setWindowIcon(appIcon());
    // Modal to no other window: the output window keeps its own close button and resizing
    // while the dialog runs.
    setWindowModality(Qt::WindowModal);

    const DialogUnits du(fontMetrics());
    setFixedSize(du.px(280), du.py(175));

    // Created in tab order: Close, the log, the group with its two controls.
    close_ = new QPushButton(QStringLiteral("Close"), this);
    close_->setGeometry(du.rect(223, 154, 50, 14));
    close_->setDefault(true);
    log_ = new LogList(this);
    log_->setGeometry(du.rect(7, 7, 179, 161));
    auto* group = new QGroupBox(QStringLiteral("Picture Window"), this);
    group->setGeometry(du.rect(193, 7, 80, 63));
    showHide_ = new QPushButton(QStringLiteral("Show/Hide"), group);
    showHide_->setGeometry(du.rect(206 - 193, 25 - 7, 54, 14));
    scale_ = new QCheckBox(QStringLiteral("Scale picture"), group);
    scale_->setGeometry(du.rect(206 - 193, 43 - 7, 58, 12));
    scale_->setChecked(false); // the output itself starts with scaling on
    auto* outputGroup = new QGroupBox(QStringLiteral("Outputs"), this);
    outputGroup->setGeometry(du.rect(193, 74, 80, 74));
    outputs_ = new QListWidget(outputGroup);
    outputs_->setGeometry(du.rect(4, 10, 72, 42));
    outputs_->setFocusPolicy(Qt::NoFocus);
    outputs_->setSelectionMode(QAbstractItemView::NoSelection);
    figures_ = new QLabel(outputGroup);
    figures_->setGeometry(du.rect(4, 53, 72, 19));
    figures_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this] { refreshOutputs(); });
    timer->start(500);

    connect(close_, &QPushButton::clicked, this, [this] { closeDialog(); });
    connect(showHide_, &QPushButton::clicked, this, [this] { app_.toggleOutput(); });
    connect(scale_, &QCheckBox::clicked, this, [this](bool checked) { app_.setScale(checked); });
    close_->setFocus();
}

void ControlDialog::refreshOutputs() {
    const std::vector<OutputStatus> outputs = app_.outputs();
    QStringList lines;
    for (const OutputStatus& output : outputs)
        // Two lines each: names (paths, addresses) are long and the list is narrow.
        lines << QStringLiteral("%1 %2\n%3, %4 dropped")
                     .arg(output.number)
                     .arg(QString::fromStdString(output.name))
                     .arg(QString::fromLatin1(outputStateName(output.state)))
                     .arg(output.dropped);
    refreshFigures(app_.frameStats(), app_.commandStats().snapshot());
    if (outputs_->count() != lines.size()) {
        outputs_->clear();
        outputs_->addItems(lines);
    }
    for (int i = 0; i < lines.size(); ++i) {
        QListWidgetItem* item = outputs_->item(i);
        if (item->text() != lines[i]) {
            item->setText(lines[i]);
            item->setToolTip(lines[i]); // a long name does not fit the list's width
        }
    }
}

void ControlDialog::refreshFigures(const std::optional<EngineStats>& frames,
                                   const CommandStats::Snapshot& commands) {
    // Milliseconds, with two decimals where they matter: cheap commands take a tenth of one.
    const auto ms = [](std::chrono::nanoseconds t) {
        const double value = std::chrono::duration<double, std::milli>(t).count();
        return QString::number(value, 'f', value < 10 ? 2 : 0);
    };
    const QString late = frames ? QString::number(frames->late) : QStringLiteral("-");
    // Two short lines fit the group's width; the tooltip says it in full.
    const QString text = commands.count() == 0
                             ? QStringLiteral("Late frames: %1\nCommands: none").arg(late)
                             : QStringLiteral("Late frames: %1\nCmd %2 / %3 ms")
                                   .arg(late, ms(commands.last), ms(commands.average()));
    if (figures_->text() != text) {
        figures_->setText(text);
        figures_->setToolTip(QStringLiteral("Frames handed out late: %1\nCommands: %2, "
                                            "the last took %3 ms, %4 ms on average")
                                 .arg(late)
                                 .arg(commands.count())
                                 .arg(ms(commands.last), ms(commands.average())));
    }
}

ControlDialog::~ControlDialog() {
    if (listWriter_)
        channel_.removeWriter(listWriter_.get());
}

int ControlDialog::run() {
    listWriter_ = std::make_shared<ListWriter>(*log_);
    channel_.addWriter(listWriter_);
    app_.start();
    return exec();
}

void ControlDialog::closeDialog() {
    app_.stop();
    done(0);
}

void ControlDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        app_.toggleOutput();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event); // Enter presses the default button, "Close"
}

void ControlDialog::reject() {
    closeDialog(); // the caption's close button
}

} // namespace kavelin
