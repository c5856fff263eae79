#pragma once

#include "TextConvert.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

// A fresh directory per test, removed with everything in it afterwards.
class CTempDir {
public:
    CTempDir()
    {
        std::string pattern = ::testing::TempDir() + "kc_fileutils_XXXXXX";
        if (::mkdtemp(&pattern[0]))
            m_path = pattern;
    }
    ~CTempDir()
    {
        if (!m_path.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(m_path, ignored);
        }
    }
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    bool Valid() const { return !m_path.empty(); }
    const std::string& Path() const { return m_path; }
    std::string Path(const std::string& name) const { return m_path + "/" + name; }
    std::wstring WidePath(const std::wstring& name = std::wstring()) const
    {
        const std::wstring base = UtilsNameSpace::Utf8ToWide(m_path);
        return name.empty() ? base : base + L"/" + name;
    }

    // Writes a file directly, without the code under test.
    void WriteFile(const std::string& name, const std::string& content) const
    {
        std::ofstream(Path(name), std::ios::binary) << content;
    }
    std::string ReadFile(const std::string& name) const
    {
        std::ifstream in(Path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::string m_path;
};

// Changes the working directory for one test and restores it.
class CWorkingDirectory {
public:
    explicit CWorkingDirectory(const std::string& path)
    {
        char* pOld = ::getcwd(nullptr, 0);
        if (pOld) {
            m_old = pOld;
            std::free(pOld);
        }
        m_bChanged = ::chdir(path.c_str()) == 0;
    }
    ~CWorkingDirectory()
    {
        if (m_bChanged && !m_old.empty() && ::chdir(m_old.c_str()) != 0)
            ADD_FAILURE() << "cannot return to " << m_old;
    }
    CWorkingDirectory(const CWorkingDirectory&) = delete;
    CWorkingDirectory& operator=(const CWorkingDirectory&) = delete;

    bool Changed() const { return m_bChanged; }

private:
    std::string m_old;
    bool m_bChanged = false;
};
