namespace docwriter {}
