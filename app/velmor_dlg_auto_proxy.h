// CVelmorDlgAutoProxy: the automation object "Velmor.Application". A client
// that creates one holds on to the program's main dialog, which then only
// hides on OK, Cancel and close; the program stays while the object lives.
#pragma once

class CVelmorDlg;

class CVelmorDlgAutoProxy {
public:
    // Locks the application and attaches to the main window when it is a
    // CVelmorDlg. Made by the class factory with one reference.
    CVelmorDlgAutoProxy();
    CVelmorDlgAutoProxy(const CVelmorDlgAutoProxy&) = delete;
    CVelmorDlgAutoProxy& operator=(const CVelmorDlgAutoProxy&) = delete;

    // The client's references; the last release deletes the object.
    unsigned long AddRef();
    unsigned long Release();

    // The class factory that "Embedding" and "Automation" set running.
    static void* CreateForClient();

    // The dialog driven; null when the main window is not a CVelmorDlg or has gone.
    CVelmorDlg* m_pDialog = nullptr;

private:
    ~CVelmorDlgAutoProxy();
    unsigned long m_references = 1;
};
