#pragma once

#include <QString>
#include <QTemporaryDir>

namespace mavrel::test {

// Every folder and settings store of the viewer inside one temporary folder: app/, data/, and
// the machine-wide store's etc/ and overlay/. Settings start as after a first start (English,
// no help page); the overrides end with the object.
class ViewerFolders
{
public:
    ViewerFolders();
    ~ViewerFolders();
    ViewerFolders(const ViewerFolders &) = delete;
    ViewerFolders &operator=(const ViewerFolders &) = delete;

    bool isValid() const { return m_temp.isValid(); }
    QString path() const { return m_temp.path(); }

private:
    QTemporaryDir m_temp;
};

} // namespace mavrel::test
