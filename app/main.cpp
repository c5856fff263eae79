// The desktop program: everything happens in the application object.

#include "app/KelmConverterApp.h"

int main(int argc, char* argv[])
{
    // Before any Qt object exists.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    KcMain::CKelmConverterApp app(argc, argv);
    return app.run();
}
