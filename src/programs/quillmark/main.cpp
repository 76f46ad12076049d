#include "ui/app/QuillApp.h"

int main(int argc, char** argv) {
    CQuillApp::PrepareProcess();
    CQuillApp app(argc, argv);
    const int exitCode = app.Start();
    if (exitCode >= 0)
        return exitCode;
    return app.exec();
}
