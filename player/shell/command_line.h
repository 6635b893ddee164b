#pragma once
// COrv_CommandLineInfo: the player's command line. Switches start with '-'
// (a '/' would swallow absolute paths) and match without regard to case;
// a switch only opens a value slot, and each plain value fills the first
// open slot that is still empty, whatever the order of switches and values.

#include <string>
#include <string_view>
#include <vector>

class COrv_CommandLineInfo {
 public:
  // Parses every argument after the program name.
  void Parse(const std::vector<std::string>& args);
  void ParseParam(std::string_view text);
  // `text` without its leading '-'; unknown switches are ignored.
  void ParseSwitch(std::string_view text);
  // A plain value; one that finds no open slot is ignored.
  void ParseValue(std::string_view text);

  int m_bUser = 0;
  std::string m_strUser;
  int m_bPassword = 0;
  std::string m_strPassword;
  int m_bBook = 0;
  std::string m_strBook;
  int m_bPath = 0;
  std::string m_strPath;
  int m_bNumber = 0;
  int m_nNumber = -1;
  int m_bIdL = 0;
  int m_nIdL = -1;
  int m_bNfp = 1;  // the nfp switch clears it
  int m_bUsfc = 0;
  int m_bNoOpen = 0;
  int m_bNoStart = 0;
  int m_bLoad = 0;
  std::string m_strLoadFile;
  int m_bInstal = 0;
  int m_bUninstal = 0;
};
