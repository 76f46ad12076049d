#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QImage;
class QMimeData;
class QAbstractScrollArea;

// Pictures that reach the rich text (or the Markdown source) by pasting (Ctrl+V with a picture on
// the clipboard) or by dropping files or a picture on it: handed to the window, which keeps them
// with the draft, instead of being pasted as a reference to a file that may go away.
class CPictureInput : public QObject {
    Q_OBJECT
public:
    using FileHandler = std::function<void(const QString& path)>;
    using ImageHandler = std::function<void(const QImage& image)>;

    // edit: a QTextEdit (where a double click on a picture opens the picture dialog) or a
    // QPlainTextEdit.
    CPictureInput(QAbstractScrollArea* edit, FileHandler onFile, ImageHandler onImage);

    // Takes the pictures of the data; false when it holds none (the editor pastes it as usual).
    bool Take(const QMimeData* data);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAbstractScrollArea* m_edit;
    // Kept from the start: the filter still hears events while the text box is being destroyed,
    // when it is no scroll area any more and cannot be asked for its viewport.
    QWidget* m_viewport;
    FileHandler m_onFile;
    ImageHandler m_onImage;
};
