#pragma once

#include <QFrame>
#include <QString>

#include <memory>

namespace Ui {
class CSridVisualHeader;
}

namespace KcForms {

// The row above a camera's date panes: "SRID <name>" and a thin line to the right edge.
class CSridVisualHeader : public QFrame {
    Q_OBJECT

public:
    CSridVisualHeader(QWidget* pParent, const QString& qsText);
    ~CSridVisualHeader() override;

    QString text() const;
    // A header is reused for another camera when the list is built again.
    void setText(const QString& qsText);

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    std::unique_ptr<Ui::CSridVisualHeader> m_ui;
};

} // namespace KcForms
