#include "fieldedit.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

namespace Accpac {

AccpacFieldEdit::AccpacFieldEdit(const QString& name, QWidget* parent)
    : QWidget(parent), m_edit(new QLineEdit(this)), m_finder(new QToolButton(this))
{
    setObjectName(name);
    m_edit->setObjectName(QStringLiteral("txtValue"));
    m_finder->setObjectName(QStringLiteral("btnFinder"));
    m_finder->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    m_finder->setToolTip(tr("Finder (F5)"));
    m_finder->setFocusPolicy(Qt::NoFocus);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_edit, 1);
    layout->addWidget(m_finder);
    setFocusProxy(m_edit);
    // Codes are upper-case as they are typed.
    connect(m_edit, &QLineEdit::textEdited, this, [this](const QString& text) {
        const int at = m_edit->cursorPosition();
        m_edit->setText(text.toUpper());
        m_edit->setCursorPosition(at);
    });
    connect(m_finder, &QToolButton::clicked, this, &AccpacFieldEdit::finderRequested);
    m_edit->installEventFilter(this);
}

QVariant AccpacFieldEdit::Value() const
{
    return m_edit->text().trimmed();
}

void AccpacFieldEdit::setValue(const QVariant& value)
{
    m_edit->setText(value.toString().trimmed().toUpper());
}

bool AccpacFieldEdit::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_edit && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_F5) {
        emit finderRequested();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace Accpac
