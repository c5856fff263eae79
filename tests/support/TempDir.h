#pragma once

#include <string>

namespace KcTest {

// A fresh folder under the system's temporary folder, named after the running program and removed
// with everything in it afterwards. Path() is empty when the folder could not be made.
class CTempDir {
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    bool Valid() const { return !m_path.empty(); }
    const std::string& Path() const { return m_path; }
    std::string Path(const std::string& name) const { return m_path + "/" + name; }
    // The same paths as the engine takes them.
    std::wstring WidePath(const std::wstring& name = std::wstring()) const;

    // Writes and reads files directly, without the code under test.
    void WriteFile(const std::string& name, const std::string& content) const;
    std::string ReadFile(const std::string& name) const;

private:
    std::string m_path;
};

} // namespace KcTest
