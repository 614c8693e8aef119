// SPDX-License-Identifier: GPL-3.0-or-later
// A one-line edit with its caption at its left: the caption ends 3 pixels
// before the edit, is centred on it vertically, and is enabled with it.
#pragma once

#include <QLabel>
#include <QLineEdit>

namespace tarnimex {

class TLabeledEdit : public QLineEdit {
    Q_OBJECT
  public:
    static constexpr int kLabelSpacing = 3;

    TLabeledEdit(const QString& caption, QWidget* parent);

    QLabel* EditLabel() const { return label_; }

    // Places the edit and its caption with it. A hidden widget gets no move
    // or resize events, so the caption cannot wait for them.
    void SetBounds(int left, int top, int width, int height);

  protected:
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void PlaceLabel();

    QLabel* label_;
};

}  // namespace tarnimex
