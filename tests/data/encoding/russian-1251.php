<?php
// Русский перевод: кодировка не объявлена.
define("_CHARSET","windows-1251");
define("_HELLO","Привет, мир");
define("_WORLD","Мир");
define("_PEACE","Мирное небо");
define("_SAVE","Сохранить изменения");
define("_LOGIN","Войти на сайт");
define("_SEARCH","Поиск по сайту");
