#pragma once

#include <QImage>
#include <QString>
#include <vector>

// A contact sheet: titled sections of captioned pictures flowing left to
// right, wrapped at the sheet's width.
class GallerySheet {
  public:
    explicit GallerySheet(int width) : width_(width) {}

    void Section(const QString& title);
    void Add(const QImage& image, const QString& caption);
    // The finished sheet on a dark background.
    QImage Render() const;

  private:
    struct Item {
        QImage image;
        QString text;
        QPoint pos;
        bool heading = false;
    };

    void NewLine();

    int width_;
    int x_ = kMargin;
    int y_ = kMargin;
    int lineHeight_ = 0;
    std::vector<Item> items_;

    static constexpr int kMargin = 16;
    static constexpr int kCaption = 16;
    static constexpr int kHeading = 30;
};
