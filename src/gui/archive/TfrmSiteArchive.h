#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;

// Archive > Site archive...: where the site archive is, the url of
// [site] in the program data folder's ini/archive.ini. The url only: the
// password is libpq's (~/.pgpass, PGPASSWORD), never kept by the program.
class TfrmSiteArchive : public QDialog
{
    Q_OBJECT
public:
    TfrmSiteArchive(QString programFolder, QWidget *parent = nullptr);

    // Saves the url (empty: no site archive); stays open and says why when
    // the url is refused or the file cannot be written.
    void accept() override;

    QLineEdit *edtUrl = nullptr;
    QLabel *lblProblem = nullptr;

private:
    QString m_folder;
};
