#pragma once

// The device selection: the operator picks the target chip by family, by
// manufacturer, by part of its name, or from a personal list of favourite
// devices kept in the settings ("FavoriteDiviceList"). Highlighting a device
// already makes it the current device; the caller decides from exec() and
// SelectedName() whether a new target is set up.

#include <QDialog>
#include <QString>

#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QRadioButton;

class CDeviceSelectDialog : public QDialog
{
    Q_OBJECT
public:
    // Family filter value that shows every family.
    static constexpr int AllFamilies = 2;

    explicit CDeviceSelectDialog(QWidget *parent = nullptr);

    // The device chosen; empty when none was.
    QString SelectedName() const { return m_selectedName; }

    // The favourites as stored: names each followed by ",".
    QString FavoritesText() const { return m_favorites; }

    QLineEdit *SearchEdit() const { return m_searchEdit; }
    QListWidget *ManufacturerList() const { return m_mfgList; }
    QListWidget *DeviceList() const { return m_deviceList; }
    QListWidget *FavoriteList() const { return m_favoriteList; }
    const std::vector<QRadioButton *> &FamilyButtons() const { return m_familyButtons; }
    QLabel *DeviceNameLabel() const { return m_deviceNameLabel; }
    QLabel *ManufacturerNameLabel() const { return m_mfgNameLabel; }

public slots:
    void accept() override;

    void OnFamilyChanged();
    void OnManufacturerChanged(int row);
    void OnDeviceHighlighted();
    void OnItemChosen(QListWidgetItem *item);
    void OnSearch(const QString &text);
    void OnAddFavorite();
    void OnRemoveFavorite();

private:
    void CreateWidgets();
    void ConnectSignals();
    void LoadFavorites();
    void StoreFavorites();
    void FillManufacturers();
    void FillDevices();
    // Makes the named entry the current device; false when the database has
    // no entry of that name.
    bool Choose(const QString &name);
    // The name step 9 of choosing takes: the favourite when that list was
    // clicked last, else the highlighted device.
    QString NameInFocus() const;
    bool FamilyIncluded(int familyIndex) const;
    bool HasFavorite(const QString &name) const;

    QLineEdit *m_searchEdit = nullptr;
    QListWidget *m_mfgList = nullptr;
    QListWidget *m_deviceList = nullptr;
    QListWidget *m_favoriteList = nullptr;
    std::vector<QRadioButton *> m_familyButtons;
    QLabel *m_deviceNameLabel = nullptr;
    QLabel *m_mfgNameLabel = nullptr;

    int m_family = AllFamilies;
    QString m_mfgFilter;
    QString m_searchUpper;
    bool m_favoritesFocus = false;
    QString m_favorites;
    QString m_selectedName;
};

// Removes one name from a favourites text (names each followed by ","),
// matching whole entries only, so removing "W25Q32" leaves "W25Q32FV,".
QString RemoveFavorite(const QString &favorites, const QString &name);
