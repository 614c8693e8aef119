// SPDX-License-Identifier: GPL-3.0-or-later
// The window's controls as laid out at 96 dots per inch, and its creation.
#include "ui/form_main.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <algorithm>
#include <limits>

#include "settings/conversion_settings.h"
#include "settings/settings_location.h"
#include "ui/version_text.h"

namespace tarnimex {

namespace {

QPushButton* MakeButton(const QString& caption, QWidget* parent, int left, int top) {
    auto* button = new QPushButton(caption, parent);
    button->setGeometry(left, top, 75, 25);
    button->setAutoDefault(false);  // Enter in an edit starts nothing
    button->setDefault(false);
    return button;
}

TLabeledEdit* MakeEdit(const QString& caption, const std::string& text, QWidget* parent, int left,
                       int top, int width) {
    auto* edit = new TLabeledEdit(caption, parent);
    edit->setText(QString::fromStdString(text));
    edit->SetBounds(left, top, width, 21);
    return edit;
}

// A caption of fixed width, measured with Tahoma, comes out wider in another
// face: its letters are drawn a little closer, and where that is not enough
// (a wide face such as DejaVu Sans) a pixel smaller, rather than cut.
constexpr double kTightestSpacing = -0.5;  // pixels between letters
constexpr int kSmallestCaptionPixels = 8;

void FitCaption(QLabel* label) {
    const QString text = label->text();
    if (text.size() < 2) return;
    QFont font = label->font();
    const auto excess = [&] {
        return QFontMetricsF(font).horizontalAdvance(text) - label->width();
    };
    for (int pixels = font.pixelSize(); excess() > 0 && pixels >= kSmallestCaptionPixels;
         --pixels) {
        font.setPixelSize(pixels);
        font.setLetterSpacing(QFont::AbsoluteSpacing, 0);
        const double over = excess();
        if (over <= 0) break;
        font.setLetterSpacing(QFont::AbsoluteSpacing,
                              std::max(kTightestSpacing, -over / (text.size() - 1)));
    }
    label->setFont(font);
}

int ListTextWidth(const QComboBox* list, const QFont& font) {
    int widest = 0;
    for (int i = 0; i < list->count(); ++i)
        widest = std::max(widest, QFontMetrics(font).horizontalAdvance(list->itemText(i)));
    return widest;
}

}  // namespace

int ListFieldWidth(const QComboBox* list) {
    QStyleOptionComboBox option;
    option.initFrom(list);
    return list->style()
        ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list)
        .width();
}

namespace {

// The decimals list, 50 pixels wide, likewise shows "Auto" whole: a pixel
// smaller where the face is wider.
void FitList(QComboBox* list) {
    QFont font = list->font();
    for (int pixels = font.pixelSize();
         ListTextWidth(list, font) > ListFieldWidth(list) && pixels > kSmallestCaptionPixels;) {
        font.setPixelSize(--pixels);
    }
    list->setFont(font);
}

}  // namespace

TFormMain::TFormMain(RegionalFormat regional, TextEncoding encoding)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint),
      OpenDialog1(std::make_unique<TOpenDialog>()),
      OpenCsvDialog(std::make_unique<TOpenDialog>()),
      regional_(std::move(regional)),
      converter_(*this, regional_, std::move(encoding)) {
    setObjectName("FormMain");
    CreateControls();
    OpenCsvDialog->NameFilters = {"CSV (*.csv)", "All (*)"};
    if (qApp) qApp->installEventFilter(this);
}

TFormMain::~TFormMain() {
    SetBusyCursor(false);
    if (qApp) qApp->removeEventFilter(this);
}

void TFormMain::CreateControls() {
    // The font goes first so that every label sizes itself with it.
    // Tahoma where it is installed; elsewhere a condensed face keeps the
    // captions within their places, which were measured with Tahoma.
    QFont font = QApplication::font();
    font.setFamilies(QFontDatabase::hasFamily("Tahoma")
                         ? QStringList{"Tahoma"}
                         : QStringList{"DejaVu Sans Condensed", "Liberation Sans Narrow",
                                       "Arial Narrow", "DejaVu Sans"});
    font.setPixelSize(11);
    setFont(font);
    resize(kClientWidth, kClientHeight);

    LabeledEditFilename = MakeEdit("NMEA filename", "", this, 104, 21, 390);
    const ConversionSettings& initial = kDefaultSettings;
    LabeledEditKey = MakeEdit("Key sentence", initial.key, this, 104, 55, 81);
    LabeledEditSecKey = MakeEdit("2nd Key", initial.secondKey, this, 264, 55, 81);

    Label1 = new QLabel("Second dec.", this);
    Label1->setAlignment(Qt::AlignRight | Qt::AlignTop);
    Label1->setGeometry(383, 59, 59, 13);
    FitCaption(Label1);

    ComboBoxSecDec = new QComboBox(this);
    ComboBoxSecDec->setEditable(false);
    ComboBoxSecDec->addItems({"Auto", "0", "1", "2", "3"});
    ComboBoxSecDec->setCurrentIndex(-1);
    ComboBoxSecDec->setGeometry(444, 55, 50, 22);
    FitList(ComboBoxSecDec);

    CheckBoxLimit = new QCheckBox("Limiting", this);
    CheckBoxLimit->setGeometry(32, 84, 81, 17);

    LabeledEditTimeDiff = MakeEdit("Threshold time (Sec.)", initial.threshold, this, 248, 82, 40);
    LabeledEditMaxStep = MakeEdit("Max time step (Sec.)", initial.maxStep, this, 454, 82, 40);
    LabeledEditTimeDiff->setEnabled(false);
    LabeledEditMaxStep->setEnabled(false);

    ButtonBrowse = MakeButton("Browse", this, 504, 19);
    ButtonConvert = MakeButton("Convert", this, 504, 50);
    ButtonExit = MakeButton("Exit", this, 504, 81);

    // A long list of logs must not be cut.
    LabeledEditFilename->setMaxLength(std::numeric_limits<int>::max());

    // Names and the system's messages are shown as they are, never as markup.
    LabelProg = new QLabel(this);
    LabelProg->setTextFormat(Qt::PlainText);
    LabelProg->setGeometry(32, 108, 0, 13);

    QWidget* const tabOrder[] = {
        LabeledEditFilename, LabeledEditKey,     LabeledEditSecKey, ComboBoxSecDec, CheckBoxLimit,
        LabeledEditTimeDiff, LabeledEditMaxStep, ButtonBrowse,      ButtonConvert,  ButtonExit};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i) {
        QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }

    connect(CheckBoxLimit, &QCheckBox::toggled, this, [this] { CheckBoxLimitClick(); });
    connect(ButtonBrowse, &QPushButton::clicked, this, [this] { ButtonBrowseClick(); });
    connect(ButtonConvert, &QPushButton::clicked, this, [this] { ButtonConvertClick(); });
    connect(ButtonExit, &QPushButton::clicked, this, [this] { ButtonExitClick(); });

    // Shown first centred on the screen; the first activation then moves the
    // window to its stored place.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

void TFormMain::FormCreate() {
    setWindowTitle(QString::fromStdString("Tarnimex Ver" + GetVersionText()));
    try {
        IniFileName = GetIniFileName("");
    } catch (const std::exception& error) {
        ShowError(error.what(), "");
    }
    // Size and drop target do not depend on the settings file, so a failure
    // above does not leave the window resizable or deaf to drops.
    setFixedSize(kClientWidth, kClientHeight);
    setAcceptDrops(true);
}

}  // namespace tarnimex
