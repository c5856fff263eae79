#pragma once

#include <QMetaType>

namespace KcForms {

// The pages of the main window, in stack order. The work manager names one of them as the form
// that the error form's CONTINUE leads to.
enum KcUserDlgForm : int {
    ufStartFrm = 0,
    ufAnalyzeFilesFrm = 1,
    ufAnalyzeErrorsFrm = 2,
    ufVideosFoundFrm = 3,
    ufVideosConvertedFrm = 4, // the results state of the videos-found form
};

} // namespace KcForms

Q_DECLARE_METATYPE(KcForms::KcUserDlgForm)
