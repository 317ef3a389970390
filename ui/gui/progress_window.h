#pragma once

#include <QDialog>
#include <QWidget>
#include <cstddef>

class QLabel;

namespace ui {

class QtProgress;

/// The progress bar of every window: a filled rectangle (red 0, green 0, blue 192) from the
/// left edge to width x done / total; nothing while total is 0.
class ProgressPicture final : public QWidget {
    Q_OBJECT
public:
    explicit ProgressPicture(QWidget* parent = nullptr);
    void set_progress(std::size_t done, std::size_t total);
    /// The width of the filled part at the current size.
    int filled_width() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::size_t m_done = 0;
    std::size_t m_total = 0;
};

/// `frmProgress`: a small window with a status label and the bar, following a run's
/// progress (loading the databases, checking them on the server).
class frmProgress final : public QDialog {
    Q_OBJECT
public:
    explicit frmProgress(QWidget* parent = nullptr);
    /// Shows the status line and the bar of `progress` whenever it changes.
    void follow(QtProgress& progress);

    QLabel* label() const { return m_label; }
    ProgressPicture* picture() const { return m_picture; }

private:
    QLabel* m_label;
    ProgressPicture* m_picture;
};

} // namespace ui
