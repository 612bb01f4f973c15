#pragma once

#include <QMainWindow>

#include <memory>

class CommonVars;

// The main window. Thread affinity: the UI thread.
class TTFormMain : public QMainWindow
{
    Q_OBJECT
public:
    explicit TTFormMain(QWidget* parent = nullptr);
    ~TTFormMain() override;

    std::unique_ptr<CommonVars> GlobalVariables;
    QString ResourcesFilesPath;

private:
    void FormCreate();
};
