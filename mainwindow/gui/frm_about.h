#pragma once

#include <QDialog>

class QPushButton;

namespace mainwindow {

/// `frmAbout`: the program's name, version and disclaimer, with a centred OK button.
class frmAbout final : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);
    QPushButton* ok_button() const { return m_ok; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QPushButton* m_ok;
};

} // namespace mainwindow
