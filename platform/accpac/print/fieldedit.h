#pragma once

#include <QVariant>
#include <QWidget>

class QLineEdit;
class QToolButton;

namespace Accpac {

// A field box of the accounting system's screens: the value of one field (here an invoice
// number) with a finder button beside it (F5 in the box does the same). The value is a
// code: trimmed and upper-case, as the field stores it. Whether it is a valid value is the
// screen's to say when it uses it.
class AccpacFieldEdit : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QVariant Value READ Value WRITE setValue)

public:
    AccpacFieldEdit(const QString& name, QWidget* parent = nullptr);

    QVariant Value() const;
    void setValue(const QVariant& value);

    QLineEdit* editor() const { return m_edit; }

signals:
    void finderRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_edit;
    QToolButton* m_finder;
};

} // namespace Accpac
