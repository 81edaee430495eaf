<?php
// Version: 2.0; Index

global $scripturl;

$txt['lang_locale'] = 'de_DE';
$txt['lang_dictionary'] = 'de';
$txt[17] = 'Beitrag';
$txt[18] = 'Antworten';
$txt[19] = 'Members';
$txt[20] = 'Themen';
$txt[21] = 'Verfasst von';
$txt[22] = 'Last post';
$txt[33] = 'Neues Thema beginnen';
$txt[34] = 'Anmelden';
$txt[35] = 'Username';
$txt['newest_member'] = ', our newest member.';
$txt['welcome_guest'] = 'Willkommen, <strong>Gast</strong>. ';
$txt['welcome_guest'] .= 'Bitte <a href="%1$s">anmelden</a> oder <a href="%2$s">registrieren</a>.';
$txt['hello_member'] = 'Hallo,';
