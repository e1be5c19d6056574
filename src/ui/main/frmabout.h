#pragma once

#include <QDialog>

#include <chrono>

class QLabel;
class QTimer;

namespace tarv::ui {

// The splash and About panel: a white, title-less window centred on the screen
// that names the product, shows its picture and the maker's lines, and closes and
// discards itself a fixed time after it was made. Shown modally as the splash while
// the main window loads, and without blocking from Help > About.
class FrmAbout : public QDialog
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds DefaultLifetime {2000};

    explicit FrmAbout(
        QWidget *parent = nullptr, std::chrono::milliseconds closeAfter = DefaultLifetime);

    // Timer1's tick: closes and discards the window.
    void tick();

private:
    QLabel *addLabel(const QString &name, const QString &text, const QRect &geometry);
    void centreOnScreen();

    QTimer *m_timer1 = nullptr;
};

} // namespace tarv::ui
