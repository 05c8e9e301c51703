#pragma once
#include <string>

namespace norvane {

// Every text the desktop windows show, in UTF-8 (the windowing toolkit's code; none of
// them enters the program's Shift_JIS data). Written once, in desktop_texts.cpp.
struct DesktopTexts {
  std::string caption;  // window title, tray tool tip

  // tabs
  std::string tabSettings, tabWeb, tabLog, tabVersion;

  // commands
  std::string cmdOpenHomePage, cmdSettings, cmdLog, cmdOrganizer, cmdVersion, cmdExit;
  std::string menuFile, menuTools, menuHelp;

  // settings tab
  std::string portLabel, goRound, roundResult, styleLabel;
  std::string afterRestartGroup, minimize, openAtStart;
  std::string connectionGroup, useProxy, proxyServerLabel, proxyPortLabel, maxConnectionLabel,
      readTimeoutLabel;
  std::string logCountLabel, ok, cancel;
  std::string settingsSaved;       // the OK button's message
  std::string settingsNotSaved;    // the INI file could not be written (its path follows)
  std::string portNeeded;          // OK with a port field that reads as no port

  // WEB tab
  std::string webModeOn, webModeOff;
  std::string credentialsMissing;  // Label13
  std::string webNotes;            // Label12
  std::string userLabel, passLabel, notesGroup;

  // version tab
  std::string versionLine;
  std::string homePageUrl;

  // group organizer (TForm3)
  std::string organizerCaption, opmlColumn, rssColumn;
  std::string titleLabel, fileLabel, roundBefore, roundAfter;
  std::string newGroup, addMore, deleteMore, up, down;
  std::string rssUrlLabel, descriptionLabel, linkLabel;
  std::string scrapMore, searchMore, deleteFeed;

  // the wait for a fetch the organizer asked for
  std::string cancelling;  // after キャンセル was pressed, until the fetch gives up

  // input dialog (TForm4)
  std::string browse;
  std::string opmlFilter, allFilesFilter;  // the file chooser's two choices
  std::string chooseFile;                  // the file chooser's caption

  // quick search (TForm6)
  std::string searchCaption, searchLabel, show;

  // scrapbook dialog (TForm7)
  std::string scrapCaption, keywordsGroup, addKeyword, deleteKeyword;

  // console
  std::string noTray;  // one line when the desktop has no notification area
};

const DesktopTexts& DT();

}  // namespace norvane
