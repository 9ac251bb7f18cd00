var editorLanguage = { bold: "Bold" };
