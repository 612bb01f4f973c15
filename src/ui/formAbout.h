#pragma once

#include <QWidget>

class QPushButton;
class QTextEdit;
class QToolButton;

// The About window: the product text and four links (the web site and three social pages). Made
// once, hidden; shown modelessly from the main window, and closing it only hides it.
// Thread affinity: the UI thread.
class TTFormAbout : public QWidget
{
    Q_OBJECT
public:
    static constexpr int MinClientWidth = 310;
    static constexpr int MinClientHeight = 230;

    explicit TTFormAbout(QWidget* parent = nullptr);

    void Button1Click();
    void ImgFacebookClick();
    void ImgTwitterClick();
    void ImgYoutubeClick();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormCreate();
    QToolButton* image(
        const char* name, const QString& title, const QString& icon, int left, void (TTFormAbout::*click)());

    QTextEdit* Memo1;
    QPushButton* Button1;
};
