#pragma once

#include <QDialog>
#include <QString>

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTextCursor;

// How a picture of the article shows: its alternative text, its width (the height follows
// the picture's own ratio) and its place (in the line, left or right with the text flowing
// around it, or centred on a line of its own).
struct PictureLook {
    enum class Place { kInline, kLeft, kCentre, kRight };
    QString alt;
    int width = 0; // 0: the picture's own size
    int height = 0;
    Place place = Place::kInline;
};

// The picture dialog, opened by a double click on a picture of the rich text.
class CPictureDialog : public QDialog {
    Q_OBJECT
public:
    // natural: the picture's own size in pixels (for the ratio).
    CPictureDialog(const PictureLook& look, QSize natural, QWidget* parent = nullptr);
    PictureLook Look() const;

    QLineEdit* AltEdit() const { return m_alt; }
    QSpinBox* WidthBox() const { return m_width; }
    QComboBox* PlaceBox() const { return m_place; }

    // The look of the picture just after the cursor (or just before it), and setting it; false
    // when there is no picture there.
    static bool LookAt(const QTextCursor& cursor, PictureLook& look, QTextCursor& picture);
    static void Apply(QTextCursor picture, const PictureLook& look);

    // The text format properties that hold the alternative text and the place.
    static constexpr int kAltProperty = 0x100000 + 1;
    static constexpr int kPlaceProperty = 0x100000 + 2;

private:
    QSize m_natural;
    QLineEdit* m_alt = nullptr;
    QSpinBox* m_width = nullptr;
    QLabel* m_height = nullptr;
    QComboBox* m_place = nullptr;
};
