#pragma once

#include "commands/CommandStats.h"
#include "engine/Engine.h"

#include <QDialog>

#include <memory>
#include <optional>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace kavelin {

class Application;
class LogChannel;
class LogList;
class LogWriter;

// The operator's dialog, captioned "Ovindu Kavelin 4.0": the log, "Close", and the "Picture
// Window" group with "Show/Hide" and "Scale picture", and the "Outputs" group: each output's
// number, name, state and frames dropped, and below them the frames handed out late and the
// time of the last command and of the average one, kept up to date. Opening it starts the
// application; closing it (Close, Enter, the caption's close button) stops it. Escape shows or
// hides the output window, as the dialog's second button.
class ControlDialog : public QDialog {
public:
    ControlDialog(Application& app, LogChannel& log);
    // Detaches the list from the log: lines written from now on do not reach it.
    ~ControlDialog() override;

    // Attaches the list to the log, starts the application and runs the dialog modally;
    // returns when the dialog has been closed.
    int run();
    // Stops the application and ends the dialog.
    void closeDialog();

    Application& application() const { return app_; }
    LogList* logList() const { return log_; }
    QPushButton* closeButton() const { return close_; }
    QPushButton* showHideButton() const { return showHide_; }
    QCheckBox* scaleBox() const { return scale_; }
    QListWidget* outputList() const { return outputs_; }
    // Shows the outputs, the late frames and the command times as they are now (a timer calls
    // it twice a second).
    void refreshOutputs();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

private:
    void refreshFigures(const std::optional<EngineStats>& frames,
                        const CommandStats::Snapshot& commands);

    Application& app_;
    LogChannel& channel_;
    std::shared_ptr<LogWriter> listWriter_;
    LogList* log_;
    QPushButton* close_;
    QPushButton* showHide_;
    QCheckBox* scale_;
    QListWidget* outputs_;
    QLabel* figures_;
};

} // namespace kavelin
