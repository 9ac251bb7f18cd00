var editorConfig = { toolbar: "basic" };
