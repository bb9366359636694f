#pragma once
// A framed group of radio buttons built from a list of items, with one current item index
// (-1 for none), the way the dialogs bind a byte to a choice.

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QVBoxLayout;

namespace velor {

class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    explicit RadioGroup(QWidget* parent = nullptr);

    void setItems(const QStringList& items);
    QStringList items() const;
    int count() const;
    // Clamped to -1..count-1; -1 clears the selection.
    void setItemIndex(int index);
    int itemIndex() const;

signals:
    void itemIndexChanged(int index);

private:
    QButtonGroup* group_;
    QVBoxLayout* layout_;
};

}  // namespace velor
