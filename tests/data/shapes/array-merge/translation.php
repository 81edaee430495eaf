<?php
/**
*
* Administration du forum [Français]
*
* @copyright (c) The Board Team
* @license GNU General Public License, version 2
* Traduit par l'équipe francophone
*
*/

/**
* DO NOT CHANGE
*/
if (!defined('IN_APP'))
{
	exit;
}

if (empty($lang) || !is_array($lang))
{
	$lang = array();
}

$lang = array_merge($lang, array(
	'ACP_BOARD_SETTINGS'	=> 'Paramètres du forum',
	'ACP_BOARD_SETTINGS_EXPLAIN'	=> 'Vous pouvez régler ici le fonctionnement de base de votre forum, lui donner un nom et une description.',
	'BOARD_DISABLE'			=> 'Désactiver le forum',
	'BOARD_DISABLE_MSG'		=> "Message de désactivation",
	'CUSTOM_DATEFORMAT'		=> 'Personnalisé…',
	'POSTS_COUNT'			=> '%1$d messages de %2$s',

	'datetime'			=> array(
		'TODAY'		=> 'Aujourd’hui',
		'YESTERDAY'	=> 'Hier',
	),
));

$lang = array_merge($lang, [
	'WARNING_EXPLAIN' => 'Les avertissements sont
montrés au membre.',
	'SAVE' => 'Enregistrer',
]);
