#pragma once

#include <QAbstractListModel>
#include <QString>
#include <vector>

namespace drives {

// The rows of a share panel's list: the row text (the share name, or
// "share (X:)" for a mapped share) and the drive letter it carries (0 for
// none). The list shows column 0. Rows come from the network, so the model
// holds at most kMaxRows; further rows are dropped.
class ShareRowModel : public QAbstractListModel {
    Q_OBJECT
  public:
    static constexpr int kMaxRows = 4096;

    struct Row {
        QString text;
        char16_t letter = 0;
    };

    using QAbstractListModel::QAbstractListModel;

    int Count() const { return static_cast<int>(rows_.size()); }
    const Row& At(int index) const { return rows_.at(static_cast<std::size_t>(index)); }
    // Appends a row; false when the model is full.
    bool Append(const QString& text, char16_t letter);
    // Sets the text and letter of row index and announces the change.
    void Set(int index, const QString& text, char16_t letter);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  private:
    std::vector<Row> rows_;
};

}  // namespace drives
