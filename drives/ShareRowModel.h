#pragma once

#include <QAbstractListModel>
#include <QString>
#include <vector>

namespace drives {

// The rows of a share panel's list: each row's share name and the drive
// letter it carries (0 for none). The list shows column 0, the share name or
// "share (X:)" for a mapped share; what a row stands for is always read from
// the model, never from that text (a share may well be called "Public (Z:)").
// Rows come from the network, so the model holds at most kMaxRows; further
// rows are dropped.
class ShareRowModel : public QAbstractListModel {
    Q_OBJECT
  public:
    static constexpr int kMaxRows = 4096;

    struct Row {
        QString share;
        char16_t letter = 0;
    };

    using QAbstractListModel::QAbstractListModel;

    int Count() const { return static_cast<int>(rows_.size()); }
    const Row& At(int index) const { return rows_.at(static_cast<std::size_t>(index)); }
    // The text the list shows for row index.
    QString Text(int index) const;
    // Appends a row; false when the model is full.
    bool Append(const QString& share, char16_t letter);
    // Sets the letter of row index (0 for none) and announces the change.
    void SetLetter(int index, char16_t letter);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  private:
    std::vector<Row> rows_;
};

}  // namespace drives
