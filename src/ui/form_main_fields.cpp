// SPDX-License-Identifier: GPL-3.0-or-later
// What the conversion run and the settings see of the window: its fields, the
// status line, event pumping, the busy cursor, error boxes and its position.
#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>

#include "ui/form_main.h"
#include "ui/monitor_work_area.h"

namespace tarnimex {

TLabeledEdit* TFormMain::Edit(HostField edit) const {
    switch (edit) {
        case HostField::Key:
            return LabeledEditKey;
        case HostField::SecKey:
            return LabeledEditSecKey;
        case HostField::TimeDiff:
            return LabeledEditTimeDiff;
        case HostField::MaxStep:
            return LabeledEditMaxStep;
        case HostField::SecDec:
            break;
    }
    return nullptr;
}

std::string TFormMain::FieldText(HostField field) {
    if (field != HostField::SecDec) return EditText(field);
    return ComboBoxSecDec->currentIndex() < 0 ? std::string{}
                                              : ComboBoxSecDec->currentText().toStdString();
}

void TFormMain::SetFieldText(HostField field, const std::string& text) {
    if (field != HostField::SecDec) return SetEditText(field, text);
    ComboBoxSecDec->setCurrentIndex(ComboBoxSecDec->findText(QString::fromStdString(text)));
}

bool TFormMain::LimitChecked() {
    return CheckBoxLimit->isChecked();
}

double TFormMain::AlarmStep() {
    return tarnimex::AlarmStep;
}

std::string TFormMain::SymbolOfAlarm() {
    return tarnimex::SymbolOfAlarm;
}

// The status line sizes itself to its text.
void TFormMain::SetStatus(const std::string& text) {
    LabelProg->setText(QString::fromStdString(text));
    LabelProg->resize(LabelProg->sizeHint().width(), LabelProg->height());
}

void TFormMain::ProcessEvents() {
    QCoreApplication::processEvents();
}

void TFormMain::SetBusyCursor(bool busy) {
    if (busy == busyCursor_) return;
    busyCursor_ = busy;
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

std::unique_ptr<QMessageBox> TFormMain::ErrorBox(const std::string& text,
                                                 const std::string& detail) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::Critical, windowTitle(),
                                             QString::fromStdString(text), QMessageBox::Ok, this);
    if (!detail.empty()) box->setInformativeText(QString::fromStdString(detail));
    // A name or a system message is shown as written, never read as markup.
    for (QLabel* label : box->findChildren<QLabel*>()) label->setTextFormat(Qt::PlainText);
    return box;
}

void TFormMain::ShowError(const std::string& text, const std::string& detail) {
    ErrorBox(text, detail)->exec();
}

// The window keeps painting during the pause, but no key or click is taken:
// those wait for the run's next look at its events.
void TFormMain::Pause500ms() {
    QEventLoop pause;
    QTimer::singleShot(500, &pause, &QEventLoop::quit);
    pause.exec(QEventLoop::ExcludeUserInputEvents);
}

std::string TFormMain::EditText(HostField edit) {
    return Edit(edit)->text().toStdString();
}

void TFormMain::SetEditText(HostField edit, const std::string& text) {
    Edit(edit)->setText(QString::fromStdString(text));
}

int TFormMain::SecDecIndex() {
    return ComboBoxSecDec->currentIndex();
}

void TFormMain::SetSecDecIndex(int index) {
    ComboBoxSecDec->setCurrentIndex(index);
}

void TFormMain::SetLimitChecked(bool checked) {
    CheckBoxLimit->setChecked(checked);
}

Rect TFormMain::OuterRect() {
    return OuterRectOf(*this);
}

void TFormMain::SetTop(int top) {
    move(x(), top);
}

void TFormMain::SetLeft(int left) {
    move(left, y());
}

Rect TFormMain::GetWorkArea() {
    return tarnimex::GetWorkArea(*this);
}

}  // namespace tarnimex
