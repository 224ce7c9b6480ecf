#pragma once

#include "CommonDialog.h"
#include "Database.h"
#include "Form.h"
#include "Listing.h"
#include "StagedPhoto.h"

#include <QtGlobal>

#include <memory>
#include <optional>

namespace MemberExport {
enum class Format;
}
class PageModel;
class PhotoBox;
class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTableView;

// The member window: the detail fields and photo of the selected member above, the grid of
// members ten to a page below.
class xianshi : public Form
{
    Q_OBJECT
public:
    explicit xianshi(QWidget* parent = nullptr);
    ~xianshi() override;

    void Form_Load() override;
    void Form_Unload() override;

private:
    // List and paging.
    void LoadList();
    void ShowData(qint64 intPage);
    void ReloadList();
    void ClearDetails();
    void ReopenWindow();
    void Command7_Click();
    void Command8_Click();
    void Command11_Click();
    void Command14_Click();

    // Browsing and the detail view.
    void DataGrid1_RowColChange();
    void ShowPhoto(QString& path);
    void Command9_Click();
    void Command10_Click();

    // Adding a member.
    void Command1_Click();
    void CheckInput();
    void CheckPhoneForAdd();
    void StorePhoto();
    void InsertMember();
    void FinishAdd();
    void ReportAdded();

    // Editing, deleting, clearing.
    void Command5_Click();
    void CheckPhoneForEdit();
    void Command2_Click();
    void Command12_Click();

    // The condition query.
    void CountConditions();
    void Command6_Click();
    void RunQuery(const Listing& query);

    // Choosing a photo.
    void Command3_Click();
    void Command4_Click();
    // A photo the camera window took, held as a picked file is.
    Status takeCapturedPhoto(const QString& file);
    void takeCameraPhotos();

    // Exporting the listing the grid shows, from the grid's context menu.
    void buildGridMenu();
    void DataGrid1_ContextMenu(const QPoint& at);
    void exportListing(MemberExport::Format format);

    void buildDetailFrame();
    void buildPhotoFrame();
    void buildOperationFrame();
    void buildListFrame();
    void buildWindowControls();
    void connectHandlers();
    void discardListing();
    void moveCurrentRow(int step);
    void reportFailure(const QString& text);
    void reportLeftFiles(const QString& text);
    // The window's connection, opened again if an earlier operation left none.
    const Database* connection();
    Member detailFields() const;

    // The add's photo between StorePhoto and InsertMember; empty when none is on its way.
    std::optional<StagedPhoto> stagedPhoto;
    QString pickedForAdd;
    bool addFailed = false;

    // The window's connection and listing; the listing goes first when both are discarded.
    std::optional<Database> cn;
    std::unique_ptr<Pager> rs;
    qint64 intCurPage = 1;
    bool blnGridReady = false;

    QGroupBox* Frame1;
    QGroupBox* Frame2;
    QGroupBox* Frame3;
    QGroupBox* Frame4;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QLabel* Label7;
    QLabel* Label8;
    QLabel* Label9;
    QLabel* Label10;
    QLabel* Label11;
    QLabel* ls;
    QLabel* lss;
    QLineEdit* t1;
    QComboBox* Combo1;
    QLineEdit* t3;
    QLineEdit* T4;
    QLineEdit* T5;
    QLineEdit* T6;
    QPlainTextEdit* T7;
    QLineEdit* t8;
    QLineEdit* t9;
    QLineEdit* txtPageMsg;
    PhotoBox* Picture1;
    QPushButton* Command1;
    QPushButton* Command2;
    QPushButton* Command3;
    QPushButton* Command4;
    QPushButton* Command5;
    QPushButton* Command6;
    QPushButton* Command7;
    QPushButton* Command8;
    QPushButton* Command9;
    QPushButton* Command10;
    QPushButton* Command11;
    QPushButton* Command12;
    QPushButton* Command13;
    QPushButton* Command14;
    QPushButton* Command15;
    QTableView* DataGrid1;
    PageModel* rsPage;
    QMenu* gridMenu = nullptr;
    QAction* exportWithId = nullptr;
    QAction* exportWithPhoto = nullptr;
    CommonDialog CommonDialog1;
};
