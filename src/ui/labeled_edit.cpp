// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/labeled_edit.h"

#include <QEvent>

namespace tarnimex {

TLabeledEdit::TLabeledEdit(const QString& caption, QWidget* parent)
    : QLineEdit(parent), label_(new QLabel(caption, parent)) {
    label_->setBuddy(this);
    // A file manager's drag also offers the files' URLs as text, which an edit
    // would insert: every drop goes to the window instead.
    setAcceptDrops(false);
    PlaceLabel();
}

void TLabeledEdit::SetBounds(int left, int top, int width, int height) {
    setGeometry(left, top, width, height);
    PlaceLabel();
}

void TLabeledEdit::changeEvent(QEvent* event) {
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) label_->setEnabled(isEnabled());
    if (event->type() == QEvent::FontChange) PlaceLabel();
}

void TLabeledEdit::moveEvent(QMoveEvent* event) {
    QLineEdit::moveEvent(event);
    PlaceLabel();
}

void TLabeledEdit::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    PlaceLabel();
}

void TLabeledEdit::PlaceLabel() {
    label_->adjustSize();
    const QSize size = label_->size();
    label_->move(x() - kLabelSpacing - size.width(), y() + (height() - size.height()) / 2);
}

}  // namespace tarnimex
